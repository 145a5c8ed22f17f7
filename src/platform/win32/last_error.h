#pragma once

#include <windows.h>

#include "platform/failure.h"

namespace halvik::win32 {

// The failure of a system call, read right after it: its error code as the number, the call as
// the source.
[[noreturn]] inline void throwLastError(const char* call, const char* description) {
  throw Failure(hresultFromWin32(GetLastError()), call, description);
}

}  // namespace halvik::win32
