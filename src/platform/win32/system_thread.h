#pragma once

#include <windows.h>

#include <functional>

namespace halvik::win32 {

// Runs the body on a thread made by the system, whose handle is closed at once: nothing joins it,
// and it ends on its own or with the process. The body owns what it shares with its creator (a
// shared_ptr copy in its captures) and lets it go on the thread; an exception that leaves the body
// is swallowed there. ERROR_SUCCESS, or the system's error when no thread could be made (the body
// is then let go on this thread).
//
// Not the C++ thread library: under MinGW-w64 it is winpthreads, whose detach hands a thread's
// descriptor to the next new thread while the detached one is still exiting, and the exiting one
// then closes a handle of the new thread's and marks it ended.
DWORD startThread(std::function<void()> body);

}  // namespace halvik::win32
