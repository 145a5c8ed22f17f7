// The argument text alone, for any text at all: taken from the command line, split into target
// and variable, trimmed, and resolved as a process ID on the simulated desktop's number parser.
// Two bytes make one character, so that every UTF-16 code unit can occur.

#include <cstdio>
#include <cstdlib>
#include <limits>

#include "driver/argument_text.h"
#include "driver/process_id_target.h"
#include "platform/failure.h"
#include "sim/sim_desktop.h"

namespace {

using halvik::ProcessId;

void check(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "broken: %s\n", property);
  std::abort();
}

// The field with its leading and trailing spaces removed, and nothing else.
bool isTrimmed(const std::wstring& field, const std::wstring& trimmed) {
  const auto start = field.find_first_not_of(L' ');
  if (start == std::wstring::npos) return trimmed.empty();
  return field.compare(start, trimmed.size(), trimmed) == 0 &&
         field.find_last_not_of(L' ') == start + trimmed.size() - 1;
}

void checkResolution(const std::wstring& target) {
  halvik::sim::SimDesktop desktop;
  const auto parsed = desktop.parseNumber(target);
  if (!parsed) return;
  const double number = *parsed;
  // Halves round to even, so the range's ends are not symmetric.
  const bool fits = number < std::numeric_limits<ProcessId>::max() + 0.5 &&
                    number >= std::numeric_limits<ProcessId>::min() - 0.5;
  try {
    const double id = halvik::toProcessId(number);
    check(fits, "a number outside the 32-bit range is no process ID");
    check(id - number <= 0.5 && number - id <= 0.5, "a process ID is the nearest whole number");
    check((id - number != 0.5 && number - id != 0.5) || static_cast<ProcessId>(id) % 2 == 0,
          "halves round to the even neighbour");
  } catch (const halvik::Failure&) {
    check(!fits, "every number inside the 32-bit range is a process ID");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::wstring text;
  for (std::size_t at = 0; at + 1 < size; at += 2) {
    text.push_back(static_cast<wchar_t>(data[at] | data[at + 1] << 8));
  }

  const std::wstring path = L"C:\\Program Files\\Halvik\\halvik.exe";
  const auto afterBlanks = std::min(text.find_first_not_of(L" \t"), text.size());
  check(halvik::argumentText(L"\"" + path + L"\" " + text, path) == text.substr(afterBlanks),
        "a quoted program path and the blanks after it are not part of the argument text");
  check(halvik::argumentText(path + L"\t" + text, path) == text.substr(afterBlanks),
        "an unquoted program path and the blanks after it are not part of the argument text");

  const auto fields = halvik::splitArgumentText(text);
  const auto firstBar = text.find(L'|');
  const auto secondBar = firstBar == std::wstring::npos ? firstBar : text.find(L'|', firstBar + 1);
  check(isTrimmed(text.substr(0, firstBar), fields.Target),
        "the target is the text before the first | without its outer spaces");
  check(firstBar == std::wstring::npos
            ? fields.VariableName.empty()
            : isTrimmed(text.substr(firstBar + 1, secondBar - firstBar - 1), fields.VariableName),
        "the variable is the text between the first and second | without its outer spaces");
  checkResolution(fields.Target);
  return 0;
}
