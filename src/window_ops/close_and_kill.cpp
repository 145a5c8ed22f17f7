#include "driver/halvik_form.h"

namespace halvik {

// Posts the close request and returns at once: the disappearance poll does the waiting, and the
// forced end must still follow when the application does not close. True while the window still
// exists right after the request.
bool HalvikForm::fCloseApp(const WindowHandle& hwnd) {
  if (hwnd == 0) return false;
  platform_.postClose(hwnd);
  return platform_.windowExists(hwnd);
}

// Asks the system to end the process and does not wait for it. The ended process keeps the exit
// code read just before, 259 (STILL_ACTIVE) for a running one. A process whose exit code reads 0
// is left alone, and so is this program's own process: ending it would lose the final report.
bool HalvikForm::Kill(ProcessId lProcessID) {
  if (lProcessID == platform_.currentProcessId()) return false;
  const auto process = platform_.openProcess(lProcessID);
  if (!process) return false;
  const auto exitCode = process->exitCode();
  if (!exitCode || *exitCode == 0) return false;
  return process->terminate(*exitCode);
}

}  // namespace halvik
