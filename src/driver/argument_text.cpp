#include "driver/argument_text.h"

#include <algorithm>
#include <cwctype>

namespace halvik {
namespace {

constexpr wchar_t FieldSeparator = L'|';

bool isBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring trimSpaces(const std::wstring& text) {
  const auto first = text.find_first_not_of(L' ');
  if (first == std::wstring::npos) return {};
  return text.substr(first, text.find_last_not_of(L' ') - first + 1);
}

// Windows finds a program whose path has blanks in it unquoted by trying the blanks in turn, and
// hands it its command line as it was written. The length of the program's own path (with or
// without ".exe", ignoring the case of ASCII letters) at the start of the line, when a blank or the
// end follows it; 0 otherwise.
std::size_t unquotedProgramPath(const std::wstring& commandLine, const std::wstring& programPath) {
  const auto sameLetters = [](wchar_t a, wchar_t b) {
    return std::towupper(a) == std::towupper(b);
  };
  const auto startsWithPath = [&](std::size_t length) {
    return length > 0 && commandLine.size() >= length &&
           std::equal(programPath.begin(), programPath.begin() + length, commandLine.begin(),
                      sameLetters) &&
           (commandLine.size() == length || isBlank(commandLine[length]));
  };
  const std::wstring extension = L".exe";
  const bool hasExtension = programPath.size() > extension.size() &&
                            std::equal(extension.begin(), extension.end(),
                                       programPath.end() - extension.size(), sameLetters);
  if (startsWithPath(programPath.size())) return programPath.size();
  if (hasExtension && startsWithPath(programPath.size() - extension.size())) {
    return programPath.size() - extension.size();
  }
  return 0;
}

}  // namespace

std::wstring argumentText(const std::wstring& commandLine, const std::wstring& programPath) {
  std::size_t position = 0;
  if (!commandLine.empty() && commandLine[0] == L'"') {
    const auto closingQuote = commandLine.find(L'"', 1);
    position = closingQuote == std::wstring::npos ? commandLine.size() : closingQuote + 1;
  } else if (const auto pathLength = unquotedProgramPath(commandLine, programPath)) {
    position = pathLength;
  } else {
    while (position < commandLine.size() && !isBlank(commandLine[position])) ++position;
  }
  while (position < commandLine.size() && isBlank(commandLine[position])) ++position;
  return commandLine.substr(position);
}

SplitArguments splitArgumentText(const std::wstring& text) {
  const auto firstSeparator = text.find(FieldSeparator);
  if (firstSeparator == std::wstring::npos) return {trimSpaces(text), {}};

  const auto secondSeparator = text.find(FieldSeparator, firstSeparator + 1);
  const auto variableField =
      text.substr(firstSeparator + 1, secondSeparator == std::wstring::npos
                                          ? std::wstring::npos
                                          : secondSeparator - firstSeparator - 1);
  return {trimSpaces(text.substr(0, firstSeparator)), trimSpaces(variableField)};
}

}  // namespace halvik
