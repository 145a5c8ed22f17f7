#include "driver/argument_text.h"

namespace halvik {
namespace {

constexpr wchar_t FieldSeparator = L'|';

bool isBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring trimSpaces(const std::wstring& text) {
  const auto first = text.find_first_not_of(L' ');
  if (first == std::wstring::npos) return {};
  return text.substr(first, text.find_last_not_of(L' ') - first + 1);
}

}  // namespace

std::wstring argumentText(const std::wstring& commandLine) {
  std::size_t position = 0;
  if (!commandLine.empty() && commandLine[0] == L'"') {
    const auto closingQuote = commandLine.find(L'"', 1);
    position = closingQuote == std::wstring::npos ? commandLine.size() : closingQuote + 1;
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
