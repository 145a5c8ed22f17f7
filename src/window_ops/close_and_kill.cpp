#include "window_ops/window_ops.h"

namespace halvik {

// The disappearance poll does the waiting, and the forced end must still follow when the
// application does not close.
CloseRequest requestClose(Platform& platform, WindowHandle window) {
  if (window == 0) return {};
  const PostedMessage posted = platform.postClose(window);
  return {posted, platform.windowExists(window)};
}

// The ended process keeps the exit code read just before, 259 (STILL_ACTIVE) for a running one. A
// process whose exit code reads 0 is left alone, and so is this program's own process: ending it
// would lose the final report. A critical system process is never ended, however it was named: its
// end stops Windows (the system's own task killer refuses it too). It is asked on the handle that
// would end it, which carries every right the question needs.
ForcedEnd endProcess(Platform& platform, ProcessId process) {
  if (process == platform.currentProcessId()) return ForcedEnd::refusedBy("own process");
  const auto opened = platform.openProcess(process);
  if (!opened.value) return ForcedEnd::failed("OpenProcess", opened.error);
  if (opened.value->mayBeCritical()) return ForcedEnd::refusedBy("critical process");
  const auto exitCode = opened.value->exitCode();
  if (!exitCode.value) return ForcedEnd::failed("GetExitCodeProcess", exitCode.error);
  if (*exitCode.value == 0) return ForcedEnd::refusedBy("exit code 0");
  const auto terminated = opened.value->terminate(*exitCode.value);
  if (!terminated.value) return ForcedEnd::failed("TerminateProcess", terminated.error);
  return ForcedEnd::done();
}

}  // namespace halvik
