#pragma once

#include "platform/platform.h"

namespace halvik {

// A target that the system's number parser accepts whole is a process ID, never a title: the
// number rounded to the nearest whole number, halves to the even neighbour. Throws Failure when
// the value lies outside the signed 32-bit range.
ProcessId toProcessId(double number);

}  // namespace halvik
