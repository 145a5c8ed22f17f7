#pragma once

#include <optional>

#include "platform/platform.h"
#include "platform/win32/com.h"
#include "platform/win32/debug_trace.h"
#include "platform/win32/unique_handle.h"

namespace halvik::win32 {

// ntdll's NtQueryInformationProcess; null when the system lacks it.
using QueryProcess = LONG(NTAPI*)(HANDLE process, ULONG infoClass, PVOID info, ULONG infoLength,
                                  PULONG returnLength);

// The platform as Windows gives it: user32, kernel32, and COM automation.
class Win32Platform : public Platform {
 public:
  // Finds what only the start can find, before any other thread or foreign code can exist: the
  // system function that tells critical processes, the program that started this one, the
  // console it was started from, and the session it runs in.
  Win32Platform();

  std::wstring commandLine() override;
  std::wstring programPath() override;

  std::optional<double> parseNumber(const std::wstring& text) override;
  std::wstring upperCase(const std::wstring& text) override;

  std::vector<WindowHandle> topLevelWindows() override;
  WindowHandle parentOrOwner(WindowHandle window) override;
  WindowHandle owner(WindowHandle window) override;
  bool isVisible(WindowHandle window) override;
  ProcessId owningProcess(WindowHandle window) override;
  std::wstring windowText(WindowHandle window, std::size_t maxChars) override;
  std::wstring className(WindowHandle window, std::size_t maxChars) override;
  bool windowExists(WindowHandle window) override;
  PostedMessage postClose(WindowHandle window) override;
  LaunchingConsole launchingConsole() override { return launchingConsole_; }
  LaunchingProcess launchingProcess() override { return launcher_.found; }
  OwnSession ownSession() override { return ownSession_; }

  ProcessId currentProcessId() override;
  Result<std::unique_ptr<OpenedProcess>> openProcess(ProcessId process) override;
  Result<std::unique_ptr<HeldProcess>> holdProcess(ProcessId process) override;
  ProcessId shellProcess() override;
  std::wstring processImagePath(ProcessId process) override;

  Ticks monotonicTime() override;
  CreatedEvent createEvent() override;
  bool waitForInput(std::uint32_t milliseconds) override;
  bool messageWaiting() override;
  void dispatchAllMessages() override;

  std::unique_ptr<HostAutomation> createObject(const std::wstring& progId) override;
  void trace(const std::string& line) override { trace_.write(line); }

  // Gives the trace a brief, bounded moment to write what is still queued.
  void finishTrace() { trace_.finish(); }

  // Whether an automation object was asked for: from then on host code may run in this process.
  bool hostObjectRequested() const { return apartment_.has_value(); }

  // The program that started this one, and the handle that holds it for the run.
  struct HeldLauncher {
    UniqueHandle hold;
    LaunchingProcess found;
  };

 private:
  // Found in the order declared: the console lookup attaches to the launcher, which is found with
  // the query function. The trace's thread, if any, starts later, once the lookup has left the
  // console, whose standard handles and Ctrl handler it swaps in for the whole process while
  // attached.
  QueryProcess queryProcess_;
  HeldLauncher launcher_;
  LaunchingConsole launchingConsole_;
  OwnSession ownSession_;
  // From the first host object on, this thread stays in the multithreaded apartment, so that
  // the apartment, and the host code loaded into it, outlives the threads that make the calls.
  std::optional<ComApartment> apartment_;
  DebugTrace trace_;
};

}  // namespace halvik::win32
