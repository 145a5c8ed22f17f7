#pragma once

#include <windows.h>

#include "platform/platform.h"

namespace halvik::win32 {

// Sleeps until the handle is signalled, new input arrives in the thread's queue, or the time runs
// out. The one wait of the program that watches its message queue.
WaitWake waitForHandleOrInput(HANDLE handle, DWORD milliseconds);

// Sleeps until the handle is signalled or the time runs out, whatever arrives in the queue; when
// even that wait fails, sleeps the time out. True when the handle was signalled.
bool waitForHandleAlone(HANDLE handle, DWORD milliseconds);

// Sleeps until new input arrives in the thread's queue or the time runs out; when that wait fails,
// sleeps the time out. True when input arrived.
bool waitForInputAlone(DWORD milliseconds);

// Retrieves, translates and dispatches every message waiting in the thread's queue.
void dispatchWaitingMessages();

// How a wait on a handle ended; the system's error when the wait itself failed.
struct HandleWaitEnd {
  enum { Signalled, TimedOut, Failed } end;
  DWORD error = ERROR_SUCCESS;
};

// Waits until the handle is signalled or the limit has passed, dispatching the thread's messages
// meanwhile. Returns at once when the wait cannot be made at all.
HandleWaitEnd waitDispatchingMessages(HANDLE handle, DWORD limitMilliseconds);

}  // namespace halvik::win32
