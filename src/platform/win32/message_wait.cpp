#include "platform/win32/message_wait.h"

namespace halvik::win32 {
namespace {

// What wakes a wait: keys, mouse moves and buttons, posted and sent messages, timers, paint and
// hot keys, which is QS_ALLINPUT as it was before raw input existed. Every wait of the program is
// built around this mask. Windows 7 fails a wait whose mask holds a bit it does not know, as
// QS_ALLINPUT does in headers for Windows 8 and later (touch and pointer input).
constexpr DWORD WakeMask = QS_KEY | QS_MOUSEMOVE | QS_MOUSEBUTTON | QS_POSTMESSAGE | QS_TIMER |
                           QS_PAINT | QS_SENDMESSAGE | QS_HOTKEY;
constexpr DWORD KnownToWindows7 = 0x04FF;
static_assert((WakeMask & ~KnownToWindows7) == 0, "Windows 7 fails a wait with this mask");

// Input counts as the wake after the last handle's.
DWORD waitForHandlesOrInput(DWORD count, const HANDLE* handles, DWORD milliseconds) {
  return MsgWaitForMultipleObjects(count, handles, FALSE, milliseconds, WakeMask);
}

}  // namespace

WaitWake waitForHandleOrInput(HANDLE handle, DWORD milliseconds) {
  switch (waitForHandlesOrInput(1, &handle, milliseconds)) {
    case WAIT_OBJECT_0:
      return WaitWake::Signalled;
    case WAIT_OBJECT_0 + 1:
      return WaitWake::Input;
    case WAIT_TIMEOUT:
      return WaitWake::Timeout;
    default:
      return WaitWake::Failed;
  }
}

bool waitForHandleAlone(HANDLE handle, DWORD milliseconds) {
  const DWORD result = WaitForSingleObject(handle, milliseconds);
  if (result == WAIT_FAILED) Sleep(milliseconds);
  return result == WAIT_OBJECT_0;
}

bool waitForInputAlone(DWORD milliseconds) {
  const DWORD result = waitForHandlesOrInput(0, nullptr, milliseconds);
  if (result == WAIT_FAILED) Sleep(milliseconds);
  return result == WAIT_OBJECT_0;
}

void dispatchWaitingMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// The remaining time is taken from the clock on every pass, so wakes that bring nothing cannot
// stretch the wait. A wait on the queue that fails cannot be retried without spinning: the rest of
// the time is waited on the handle alone. When that fails too, the handle itself is at fault, and
// sleeping out the time would only make a fault of this process look like a slow partner.
HandleWaitEnd waitDispatchingMessages(HANDLE handle, DWORD limitMilliseconds) {
  const ULONGLONG due = GetTickCount64() + limitMilliseconds;
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    const auto remaining = static_cast<DWORD>(now < due ? due - now : 0);
    switch (waitForHandleOrInput(handle, remaining)) {
      case WaitWake::Signalled:
        return {HandleWaitEnd::Signalled};
      case WaitWake::Input:
        dispatchWaitingMessages();
        break;
      case WaitWake::Timeout:
        return {HandleWaitEnd::TimedOut};
      case WaitWake::Failed:
        switch (WaitForSingleObject(handle, remaining)) {
          case WAIT_OBJECT_0:
            return {HandleWaitEnd::Signalled};
          case WAIT_FAILED:
            return {HandleWaitEnd::Failed, GetLastError()};
          default:
            return {HandleWaitEnd::TimedOut};
        }
    }
  }
}

}  // namespace halvik::win32
