#pragma once

#include <windows.h>

#include <functional>

namespace halvik::win32 {

// Runs the call on a thread of its own, in the multithreaded COM apartment, while this thread
// waits for it at most the limit and keeps dispatching its messages; rethrows what the call threw.
// False when the call did not end in time: it is then left running to the end of the process, so
// a call must own everything it touches. Throws Failure when no thread can be had.
//
// A blocked cross-process COM call cannot be cancelled portably (Wine ignores a message filter's
// request to cancel and has no CoCancelCall), but it can be left behind. The apartment outlives
// every call thread only while another thread stays in it: Win32Platform keeps the program's
// thread there from the first host object on.
bool runAbandonableCall(std::function<void()> call, DWORD limitMilliseconds);

}  // namespace halvik::win32
