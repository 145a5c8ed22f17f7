// console_launcher: a console program that a test starts under wineconsole, standing in for the
// command prompt that runs a host script. It titles its console with a command line that holds
// the argument text, as the prompt does, starts halvik.exe with that argument text as its child,
// waits for it, and writes what it saw to the result file, one line each: whether halvik.exe ended
// in time, whether the console is still there, and whether it can still write to it. With
// "detached", halvik.exe is started without a console (DETACHED_PROCESS), as Windows starts every
// GUI program.
//
// Usage: console_launcher.exe RESULT-FILE HALVIK-PATH ARGUMENT-TEXT [detached]

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr DWORD HalvikLimitMilliseconds = 150000;

// The console's window shows its new title once its host has taken it.
void titleConsole(const std::wstring& title) {
  SetConsoleTitleW(title.c_str());
  wchar_t shown[512] = {};
  for (int tries = 0; tries < 100; ++tries) {
    GetWindowTextW(GetConsoleWindow(), shown, 512);
    if (title == shown) return;
    Sleep(50);
  }
}

bool runToEnd(const std::wstring& program, const std::wstring& argumentText, DWORD flags) {
  std::wstring commandLine = L"\"" + program + L"\" " + argumentText;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started = {};
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, flags, nullptr,
                      nullptr, &startup, &started)) {
    return false;
  }
  CloseHandle(started.hThread);
  const bool ended =
      WaitForSingleObject(started.hProcess, HalvikLimitMilliseconds) == WAIT_OBJECT_0;
  if (!ended) TerminateProcess(started.hProcess, 1);
  CloseHandle(started.hProcess);
  return ended;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4 && argc != 5) return 2;
  const std::wstring argumentText = argv[3];
  const DWORD flags = argc == 5 && std::wstring(argv[4]) == L"detached" ? DETACHED_PROCESS : 0;
  titleConsole(L"Command Prompt - cscript //nologo close-and-wait.vbs halvik.exe \"" +
               argumentText + L"\"");
  const bool ended = runToEnd(argv[2], argumentText, flags);
  const bool consoleThere = IsWindow(GetConsoleWindow()) != FALSE;
  const std::wstring line = L"halvik ended\r\n";
  const auto length = static_cast<DWORD>(line.size());
  DWORD written = 0;
  const bool writable =
      WriteConsoleW(GetStdHandle(STD_OUTPUT_HANDLE), line.c_str(), length, &written, nullptr) &&
      written == length;
  FILE* result = _wfopen(argv[1], L"w");
  if (!result) return 3;
  std::fprintf(result, "%s\n%s\n%s\n", ended ? "halvik ended" : "halvik still running",
               consoleThere ? "console still there" : "console gone",
               writable ? "console writable" : "console not writable");
  std::fclose(result);
  return 0;
}
