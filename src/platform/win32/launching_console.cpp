#include "platform/win32/launching_console.h"

#include <windows.h>

#include "platform/win32/window_handle.h"

namespace halvik::win32 {
namespace {

// While attached, a Ctrl+C, a Ctrl+Break or the console closing would end this program through
// the default handler. None of them is meant for it.
BOOL WINAPI ignoreConsoleEvent(DWORD) { return TRUE; }

HWND findConsoleWindow() {
  if (const HWND inherited = GetConsoleWindow()) return inherited;
  if (!SetConsoleCtrlHandler(ignoreConsoleEvent, TRUE)) return nullptr;
  const DWORD standard[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  HANDLE before[3];
  for (int i = 0; i < 3; ++i) before[i] = GetStdHandle(standard[i]);
  HWND console = nullptr;
  if (AttachConsole(ATTACH_PARENT_PROCESS)) {
    console = GetConsoleWindow();
    FreeConsole();
  }
  for (int i = 0; i < 3; ++i) SetStdHandle(standard[i], before[i]);
  SetConsoleCtrlHandler(ignoreConsoleEvent, FALSE);
  return console;
}

}  // namespace

// Windows gives a GUI program no console, so it attaches to its parent's for as long as it takes
// to ask for the window, and leaves it again; the standard handles stay as they were. Wine instead
// hands a GUI program its parent's console, and refuses the attach then. Windows Terminal shows a
// console as a tab of its own window and keeps the console's window hidden, owned by that window.
LaunchingConsole findLaunchingConsole() {
  const HWND console = findConsoleWindow();
  if (!console) return {};
  return {fromHwnd(console), fromHwnd(GetAncestor(console, GA_ROOTOWNER))};
}

}  // namespace halvik::win32
