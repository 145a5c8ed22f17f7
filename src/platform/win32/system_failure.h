#pragma once

#include <windows.h>

#include "platform/failure.h"

namespace halvik::win32 {

// The failures of the system's calls, as the steps that the failure rule abandons throw them: the
// error as the number, the call as the source.

// A call that gave a system error code.
inline Failure systemFailure(std::uint32_t code, const char* call, const char* description) {
  return Failure(hresultFromWin32(code), call, description);
}

// A call that failed, read right after it.
[[noreturn]] inline void throwLastError(const char* call, const char* description) {
  throw systemFailure(GetLastError(), call, description);
}

// A call that answers with an HRESULT.
inline void throwIfFailed(HRESULT result, const char* call, const char* description) {
  if (FAILED(result)) throw Failure(static_cast<std::uint32_t>(result), call, description);
}

// A call that could not get the memory it needed.
[[noreturn]] inline void throwOutOfMemory(const char* call) {
  throw Failure(static_cast<std::uint32_t>(E_OUTOFMEMORY), call, "out of memory");
}

}  // namespace halvik::win32
