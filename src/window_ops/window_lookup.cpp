#include "driver/halvik_form.h"

namespace halvik {

// The first top-level window, in Z-order from the top, whose title contains the text, ignoring
// case under the user's locale. Walks a snapshot, so windows that come and go during the walk
// cannot make it loop or stop early. Windows without a title never match; hidden ones do. The
// search runs for every window of every poll: the text is mapped once, each title once.
WindowHandle HalvikForm::fEnumWindows(const std::wstring& DesiredWindow,
                                      std::wstring& windowClass) {
  const std::wstring wanted = platform_.upperCase(DesiredWindow);
  for (const WindowHandle window : platform_.topLevelWindows()) {
    const auto title = fWindowText(window);
    if (!title.empty() && platform_.upperCase(title).find(wanted) != std::wstring::npos) {
      windowClass = fWindowClass(window);
      return window;
    }
  }
  return 0;
}

// The first top-level window in Z-order that the process owns and that has no parent or owner.
// No process has the ID 0: that is what a window destroyed during the walk reads as its owner.
WindowHandle HalvikForm::InstanceToWnd(ProcessId target_pid) {
  if (target_pid == 0) return 0;
  for (const WindowHandle window : platform_.topLevelWindows()) {
    if (platform_.parentOrOwner(window) == 0 && platform_.owningProcess(window) == target_pid) {
      return window;
    }
  }
  return 0;
}

std::wstring HalvikForm::fWindowText(WindowHandle window) {
  return platform_.windowText(window, TextBufferChars);
}

std::wstring HalvikForm::fWindowClass(WindowHandle window) {
  return platform_.className(window, TextBufferChars);
}

}  // namespace halvik
