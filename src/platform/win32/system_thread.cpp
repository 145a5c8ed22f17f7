#include "platform/win32/system_thread.h"

#include <process.h>

#include <cstdlib>
#include <memory>
#include <new>

namespace halvik::win32 {
namespace {

unsigned __stdcall runBody(void* parameter) {
  const std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(parameter));
  try {
    (*body)();
  } catch (...) {
    // Swallowed by design: the body reports through what it shares, and nothing may leave a
    // thread procedure.
  }
  return 0;
}

}  // namespace

DWORD startThread(std::function<void()> body) {
  std::unique_ptr<std::function<void()>> held;
  try {
    held = std::make_unique<std::function<void()>>(std::move(body));
  } catch (const std::bad_alloc&) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  // _beginthreadex rather than CreateThread: the thread uses the C runtime.
  const auto thread = _beginthreadex(nullptr, 0, runBody, held.get(), 0, nullptr);
  if (thread == 0) {
    // The runtime leaves no system error when its own allocation failed.
    const auto error = static_cast<DWORD>(_doserrno);
    return error != ERROR_SUCCESS ? error : ERROR_NOT_ENOUGH_MEMORY;
  }
  static_cast<void>(held.release());  // the thread's now
  CloseHandle(reinterpret_cast<HANDLE>(thread));
  return ERROR_SUCCESS;
}

}  // namespace halvik::win32
