#include "platform/win32/launching_console.h"

#include <windows.h>

#include "platform/win32/window_handle.h"

namespace halvik::win32 {
namespace {

// While attached, a Ctrl+C, a Ctrl+Break or the console closing would end this program through
// the default handler. None of them is meant for it.
BOOL WINAPI ignoreConsoleEvent(DWORD) { return TRUE; }

HWND findConsoleWindow(ProcessId launcher) {
  if (const HWND inherited = GetConsoleWindow()) return inherited;
  if (launcher == 0 || !SetConsoleCtrlHandler(ignoreConsoleEvent, TRUE)) return nullptr;
  const DWORD standard[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  HANDLE before[3];
  for (int i = 0; i < 3; ++i) before[i] = GetStdHandle(standard[i]);
  HWND console = nullptr;
  if (AttachConsole(static_cast<DWORD>(launcher))) {
    console = GetConsoleWindow();
    // The attach made the console's handles this program's standard handles. On Windows 10 and 11
    // FreeConsole closes whatever handles stand there then (and leaves their values): so it comes
    // first, and closes the console's; the program's own, put back after it, are never closed.
    FreeConsole();
  }
  for (int i = 0; i < 3; ++i) SetStdHandle(standard[i], before[i]);
  SetConsoleCtrlHandler(ignoreConsoleEvent, FALSE);
  return console;
}

}  // namespace

// Windows gives a GUI program no console, so it attaches to its launcher's for as long as it takes
// to ask for the window, and leaves it again; the standard handles stay as they were. The launcher
// is named by the ID found and held at start, not by ATTACH_PARENT_PROCESS: the parent's recorded
// ID, which names another process once the parent has ended and its ID has passed on. Without a
// launcher there is nothing to attach to. Wine instead hands a GUI program its parent's console,
// and refuses the attach then. Windows Terminal shows a console as a tab of its own window and
// keeps the console's window hidden, owned by that window.
LaunchingConsole findLaunchingConsole(ProcessId launcher) {
  const HWND console = findConsoleWindow(launcher);
  if (!console) return {};
  return {fromHwnd(console), fromHwnd(GetAncestor(console, GA_ROOTOWNER))};
}

}  // namespace halvik::win32
