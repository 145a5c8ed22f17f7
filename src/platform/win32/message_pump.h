#pragma once

#include <windows.h>

namespace halvik::win32 {

// Retrieves, translates and dispatches every message waiting in the thread's queue.
inline void dispatchWaitingMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace halvik::win32
