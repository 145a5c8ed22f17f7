#include "window_ops/window_ops.h"

#include <algorithm>
#include <cwctype>
#include <iterator>

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
// would lose the final report. A critical system process is never ended, however it was named: its
// end stops Windows (the system's own task killer refuses it too). It is asked on the handle that
// would end it, which carries every right the question needs.
ForcedEnd endProcess(Platform& platform, ProcessId process) {
  if (process == platform.currentProcessId()) return ForcedEnd::refusedBy("own process");
  const auto opened = platform.openProcess(process);
  if (!opened) return ForcedEnd::failed("OpenProcess", platform.lastError());
  if (opened->mayBeCritical()) return ForcedEnd::refusedBy("critical process");
  const auto exitCode = opened->exitCode();
  if (!exitCode) return ForcedEnd::failed("GetExitCodeProcess", platform.lastError());
  if (*exitCode == 0) return ForcedEnd::refusedBy("exit code 0");
  if (!opened->terminate(*exitCode))
    return ForcedEnd::failed("TerminateProcess", platform.lastError());
  return ForcedEnd::done();
}

namespace {

// The processes that show windows for others: folder windows (in a second explorer.exe when
// folders are set to open in a process of their own), Store apps' frames, Start, Search, the
// shell's experience and text-input hosts, the lock screen, every tab of Windows Terminal, and the
// desktop window manager's own windows (the ghost of a hung window among them). A piece of a title
// can name any of their windows, short titles such as "Start" or "Search" most of all, and ending
// the process would take down far more than the window named. Lower case.
const wchar_t* const ShellImages[] = {L"explorer.exe",
                                      L"applicationframehost.exe",
                                      L"startmenuexperiencehost.exe",
                                      L"searchhost.exe",
                                      L"searchapp.exe",
                                      L"searchui.exe",
                                      L"shellexperiencehost.exe",
                                      L"shellhost.exe",
                                      L"textinputhost.exe",
                                      L"lockapp.exe",
                                      L"windowsterminal.exe",
                                      L"dwm.exe",
                                      L"sihost.exe"};

std::wstring lowerCaseImageName(const std::wstring& imagePath) {
  std::wstring name = imagePath.substr(imagePath.find_last_of(L"\\/") + 1);
  for (wchar_t& c : name) c = static_cast<wchar_t>(std::towlower(c));
  return name;
}

}  // namespace

// A process named by its ID is the user's explicit choice. One reached through a window title may
// be a bystander that shows the window for others: the shell's processes are never ended for a
// title, and neither is a process whose program cannot be told, which may be one of them. The run
// then goes on as after a refused end.
const char* sparingRule(Platform& platform, ProcessId process, TargetNaming naming) {
  if (naming == TargetNaming::ByProcessId) return nullptr;
  if (process == platform.shellProcess()) return "shell, reached by title";
  const std::wstring image = lowerCaseImageName(platform.processImagePath(process));
  if (image.empty()) return "program unknown, reached by title";
  if (std::find(std::begin(ShellImages), std::end(ShellImages), image) != std::end(ShellImages)) {
    return "process of the shell, reached by title";
  }
  return nullptr;
}

}  // namespace halvik
