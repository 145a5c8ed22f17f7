#pragma once

#include <string>

namespace halvik {

// The command line after the program's own path (quoted or not) and the blanks that follow it.
std::wstring argumentText(const std::wstring& commandLine);

struct SplitArguments {
  std::wstring Target;
  std::wstring VariableName;
};

// "target|variable": fields are split at every "|", the third and later ones ignored, and each
// trimmed of spaces (only spaces: tabs and quotes belong to the text).
SplitArguments splitArgumentText(const std::wstring& text);

}  // namespace halvik
