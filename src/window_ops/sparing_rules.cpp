#include <algorithm>
#include <cwctype>
#include <iterator>

#include "window_ops/window_ops.h"

namespace halvik {

// Every refusal of a forced end, as the trace names it, and where it is decided: "process not held"
// by the driver (driver/escalation.cpp); "own process", "critical process" and "exit code 0" by the
// forced end (close_and_kill.cpp); "shell", "program that started this one", "program unknown",
// "process of the shell" and "host of Windows", each "reached by title", by sparingRule below.

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

// Windows' own hosts, which run in every user's session as that user, are not critical, and own
// hidden windows that the title search counts. Ending one would break:
// - taskhostw.exe (10 and 11): the user's scheduled and background tasks that it runs;
// - taskhostex.exe (8): the same;
// - taskhost.exe (7, its window "Task Host Window"): the same;
// - ctfmon.exe: text services: typing in Start's search and Store apps, switching input methods;
// - runtimebroker.exe: the permission checks of the Store apps it serves, which then fail;
// - tabtip.exe: the touch keyboard and the handwriting panel;
// - svchost.exe: every service of the user's that it hosts (clipboard, notifications, sync);
// - conhost.exe: the console it hosts, and every program in it;
// - openconsole.exe: the pseudo console behind a Windows Terminal tab, and every program in it.
const wchar_t* const WindowsHostImages[] = {
    L"taskhostw.exe", L"taskhostex.exe", L"taskhost.exe", L"ctfmon.exe",     L"runtimebroker.exe",
    L"tabtip.exe",    L"svchost.exe",    L"conhost.exe",  L"openconsole.exe"};

template <std::size_t N>
bool listed(const wchar_t* const (&images)[N], const std::wstring& image) {
  return std::find(std::begin(images), std::end(images), image) != std::end(images);
}

}  // namespace

std::wstring programName(Platform& platform, ProcessId process) {
  const std::wstring path = platform.processImagePath(process);
  std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
  for (wchar_t& c : name) c = static_cast<wchar_t>(std::towlower(c));
  return name;
}

// A process named by its ID is the user's explicit choice. One reached through a window title may
// be a bystander that shows the window for others: the shell's processes and Windows' own hosts
// are never ended for a title, and neither is a process whose program cannot be told, which may be
// one of them. Nor is the program that started this one, whose own dialog a host script may close
// by title: ending it would end the host, which then never learns the outcome. The run then goes
// on as after a refused end.
const char* sparingRule(Platform& platform, ProcessId process, TargetNaming naming) {
  if (naming == TargetNaming::ByProcessId) return nullptr;
  if (process == platform.shellProcess()) return "shell, reached by title";
  const ProcessId launcher = platform.launchingProcess().value;
  if (launcher != 0 && process == launcher)
    return "program that started this one, reached by title";
  const std::wstring image = programName(platform, process);
  if (image.empty()) return "program unknown, reached by title";
  if (listed(ShellImages, image)) return "process of the shell, reached by title";
  if (listed(WindowsHostImages, image)) return "host of Windows, reached by title";
  return nullptr;
}

}  // namespace halvik
