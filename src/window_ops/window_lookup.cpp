#include "window_ops/window_ops.h"

namespace halvik {
namespace {

// The window Windows shows in place of one whose application has stopped reading its messages,
// titled like it with " (Not Responding)" added. It belongs to the desktop window manager (dwm.exe,
// from Vista on), or where none runs to a process of the system (csrss.exe); the application's
// window lies hidden behind it, still titled, and is the one to close. Any program may register a
// class of that name, so only those owners', or one that cannot be told, are passed over.
const wchar_t GhostClass[] = L"Ghost";

bool isSystemGhost(Platform& platform, WindowHandle window) {
  const std::wstring program = programName(platform, platform.owningProcess(window));
  return program.empty() || program == L"dwm.exe" || program == L"csrss.exe";
}

// The hidden input-method windows that every GUI thread owns ("Default IME"), and those of text
// services ("MSCTFIME UI"): a title piece such as "Default" would name whichever process owns the
// frontmost one.
bool isInputMethodClass(const std::wstring& className) {
  return className == L"IME" || className == L"MSCTFIME UI";
}

}  // namespace

// Walks a snapshot, so windows that come and go during the walk cannot make it loop or stop early.
// Windows without a title never match, nor does one whose class cannot be read (it is gone); hidden
// ones do. The search runs for every window of every poll: the text is mapped once, each
// title once, and a class, and for a ghost its program, is read only for a title that matches.
// Passed over: the console this program was started from and the terminal that holds it, whose
// titles show the command that started the program, target text and all; the system's ghosts; and
// input-method windows.
WindowHandle findTitledWindow(Platform& platform, const std::wstring& text,
                              std::wstring& windowClass) {
  const std::wstring wanted = platform.upperCase(text);
  const LaunchingConsole console = platform.launchingConsole();
  for (const WindowHandle window : platform.topLevelWindows()) {
    if (window == console.window || window == console.holder) continue;
    const auto title = windowTitle(platform, window);
    if (title.empty() || platform.upperCase(title).find(wanted) == std::wstring::npos) continue;
    auto className = windowClassName(platform, window);
    if (className.empty() || isInputMethodClass(className)) continue;
    if (className == GhostClass && isSystemGhost(platform, window)) continue;
    windowClass = std::move(className);
    return window;
  }
  return 0;
}

// No process has the ID 0: that is what a window destroyed during the walk reads as its owner.
WindowHandle firstWindowOfProcess(Platform& platform, ProcessId process) {
  if (process == 0) return 0;
  for (const WindowHandle window : platform.topLevelWindows()) {
    if (platform.parentOrOwner(window) == 0 && platform.owningProcess(window) == process) {
      return window;
    }
  }
  return 0;
}

// Applications keep hidden top-level windows of their own (every GUI thread has an input-method
// window; frameworks add more), often above the main window, and tool windows owned by it but no
// pop-ups, which GetParent does not tie to it: a close request to either would never reach the
// application. So the rule Windows' managed runtime uses for a process's main window comes first.
WindowHandle mainWindowOfProcess(Platform& platform, ProcessId process) {
  if (process == 0) return 0;
  for (const WindowHandle window : platform.topLevelWindows()) {
    if (platform.owningProcess(window) == process && platform.isVisible(window) &&
        platform.owner(window) == 0) {
      return window;
    }
  }
  return firstWindowOfProcess(platform, process);
}

std::wstring windowTitle(Platform& platform, WindowHandle window) {
  return platform.windowText(window, TextBufferChars);
}

std::wstring windowClassName(Platform& platform, WindowHandle window) {
  return platform.className(window, TextBufferChars);
}

}  // namespace halvik
