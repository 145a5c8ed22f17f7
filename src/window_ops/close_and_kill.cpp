#include "window_ops/window_ops.h"

#include <cwctype>

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
ForcedEnd endProcess(Platform& platform, ProcessId process) {
  if (process == platform.currentProcessId()) return ForcedEnd::refusedBy("own process");
  const auto opened = platform.openProcess(process);
  if (!opened) return ForcedEnd::failed("OpenProcess", platform.lastError());
  const auto exitCode = opened->exitCode();
  if (!exitCode) return ForcedEnd::failed("GetExitCodeProcess", platform.lastError());
  if (*exitCode == 0) return ForcedEnd::refusedBy("exit code 0");
  if (!opened->terminate(*exitCode))
    return ForcedEnd::failed("TerminateProcess", platform.lastError());
  return ForcedEnd::done();
}

namespace {

const wchar_t FrameHostImage[] = L"applicationframehost.exe";

bool isFrameHost(const std::wstring& imagePath) {
  std::wstring name = imagePath.substr(imagePath.find_last_of(L"\\/") + 1);
  for (wchar_t& c : name) c = static_cast<wchar_t>(std::towlower(c));
  return name == FrameHostImage;
}

}  // namespace

// Never ended, however the target was named: a critical system process, whose end stops Windows
// (the system's own task killer refuses it too). Never ended when reached through a title, as the
// window may be one of many that the process shows for others: the shell, whose folder windows
// share a process with the taskbar and the desktop, and the frame host that shows every Store
// app's window. The run then goes on as after a refused end.
const char* sparingRule(Platform& platform, ProcessId process, TargetNaming naming) {
  if (platform.mayBeCritical(process)) return "critical process";
  if (naming == TargetNaming::ByProcessId) return nullptr;
  if (process == platform.shellProcess()) return "shell, reached by title";
  if (isFrameHost(platform.processImagePath(process))) return "frame host, reached by title";
  return nullptr;
}

}  // namespace halvik
