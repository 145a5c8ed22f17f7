#pragma once

#include <windows.h>

#include "platform/failure.h"

namespace halvik::win32 {

// The failure of a system call, as the steps that the failure rule abandons throw it: the error as
// the number, the call as the source.
inline Failure systemFailure(std::uint32_t code, const char* call, const char* description) {
  return Failure(hresultFromWin32(code), call, description);
}

// A call that failed, read right after it.
[[noreturn]] inline void throwLastError(const char* call, const char* description) {
  throw systemFailure(GetLastError(), call, description);
}

inline void throwIfFailed(HRESULT result, const char* call, const char* description) {
  if (FAILED(result)) throw Failure(static_cast<std::uint32_t>(result), call, description);
}

[[noreturn]] inline void throwOutOfMemory(const char* call) {
  throw Failure(static_cast<std::uint32_t>(E_OUTOFMEMORY), call, "out of memory");
}

}  // namespace halvik::win32
