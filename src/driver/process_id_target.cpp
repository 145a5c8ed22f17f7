#include "driver/process_id_target.h"

#include <cmath>
#include <limits>

#include "platform/failure.h"

namespace halvik {
namespace {

constexpr std::uint32_t OverflowError = 0x800A0006;  // the automation "Overflow" error

// Halves go to the even neighbour in every floating-point rounding mode: a host loaded into this
// process at the start report may have changed the mode, and std::nearbyint would follow it. No
// step here rounds: floor is exact, and so is taking the whole part from a non-negative number.
double roundHalfToEven(double number) {
  const double magnitude = std::fabs(number);
  const double whole = std::floor(magnitude);
  const double fraction = magnitude - whole;
  const bool wholeIsOdd = std::fmod(whole, 2.0) != 0;
  const bool roundUp = fraction > 0.5 || (fraction == 0.5 && wholeIsOdd);
  return std::copysign(roundUp ? whole + 1 : whole, number);
}

}  // namespace

ProcessId toProcessId(double number) {
  const double rounded = roundHalfToEven(number);
  if (!(rounded >= std::numeric_limits<ProcessId>::min() &&
        rounded <= std::numeric_limits<ProcessId>::max())) {
    throw Failure(OverflowError, "HalvikForm", "Overflow");
  }
  return static_cast<ProcessId>(rounded);
}

}  // namespace halvik
