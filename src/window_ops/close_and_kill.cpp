#include "window_ops/close_and_kill.h"

namespace halvik {

// The disappearance poll does the waiting, and the forced end must still follow when the
// application does not close.
bool requestClose(Platform& platform, WindowHandle window) {
  if (window == 0) return false;
  platform.postClose(window);
  return platform.windowExists(window);
}

// The ended process keeps the exit code read just before, 259 (STILL_ACTIVE) for a running one. A
// process whose exit code reads 0 is left alone, and so is this program's own process: ending it
// would lose the final report.
bool endProcess(Platform& platform, ProcessId process) {
  if (process == platform.currentProcessId()) return false;
  const auto opened = platform.openProcess(process);
  if (!opened) return false;
  const auto exitCode = opened->exitCode();
  if (!exitCode || *exitCode == 0) return false;
  return opened->terminate(*exitCode);
}

}  // namespace halvik
