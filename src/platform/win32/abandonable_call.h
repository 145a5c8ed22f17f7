#pragma once

#include <windows.h>

#include <functional>

#include "platform/win32/message_wait.h"

namespace halvik::win32 {

// Runs the call on a thread of its own, in the multithreaded COM apartment, while this thread
// waits for it at most the limit and keeps dispatching its messages; rethrows what the call threw.
// Says how the wait for the call ended: when it was not signalled, the call is left running to the
// end of the process, so a call must own everything it touches. Throws Failure when no thread can
// be had.
//
// A blocked cross-process COM call cannot be cancelled portably (Wine ignores a message filter's
// request to cancel and has no CoCancelCall), but it can be left behind. The apartment outlives
// every call thread only while another thread stays in it: Win32Platform keeps the program's
// thread there from the first host object on.
HandleWaitEnd runAbandonableCall(std::function<void()> call, DWORD limitMilliseconds);

}  // namespace halvik::win32
