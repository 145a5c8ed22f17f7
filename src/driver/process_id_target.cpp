#include "driver/process_id_target.h"

#include <cmath>
#include <limits>

#include "platform/failure.h"

namespace halvik {
namespace {

constexpr std::uint32_t OverflowError = 0x800A0006;  // the automation "Overflow" error
constexpr std::uint32_t TypeMismatchError = 0x800A000D;

}  // namespace

bool isNumericTarget(Platform& platform, const std::wstring& target) {
  return platform.parseNumber(target).has_value();
}

ProcessId toProcessId(Platform& platform, const std::wstring& target) {
  const auto number = platform.parseNumber(target);
  if (!number) throw Failure(TypeMismatchError, "HalvikForm", "Type mismatch");

  // nearbyint rounds halves to even in the default rounding mode, which nothing here changes.
  const double rounded = std::nearbyint(*number);
  if (!(rounded >= std::numeric_limits<ProcessId>::min() &&
        rounded <= std::numeric_limits<ProcessId>::max())) {
    throw Failure(OverflowError, "HalvikForm", "Overflow");
  }
  return static_cast<ProcessId>(rounded);
}

}  // namespace halvik
