#pragma once

#include <string>

namespace halvik {

// The command line after the program's own path (quoted or not) and the blanks that follow it.
// The path is the program's own, programPath, when the line begins with it unquoted; otherwise it
// ends at the first blank.
std::wstring argumentText(const std::wstring& commandLine, const std::wstring& programPath);

struct SplitArguments {
  std::wstring Target;
  std::wstring VariableName;
};

// "target|variable": fields are split at every "|", the third and later ones ignored, and each
// trimmed of spaces (only spaces: tabs and quotes belong to the text).
SplitArguments splitArgumentText(const std::wstring& text);

}  // namespace halvik
