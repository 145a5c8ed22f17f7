#pragma once

// Everything the program asks of Windows, and nothing more. The Win32 side implements it for
// real; the tests implement it as a simulated desktop.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace halvik {

// Window handles and process IDs are held as signed 32-bit numbers; 0 means none.
using WindowHandle = std::int32_t;
using ProcessId = std::int32_t;

// Monotonic time in 100-nanosecond ticks.
using Ticks = std::int64_t;
constexpr Ticks TicksPerMillisecond = 10000;

// What an operation answered, with the system's error code when it failed. Only the steps that the
// failure rule abandons throw Failure instead.
template <typename T>
struct Result {
  T value{};
  std::uint32_t error = 0;  // the system's error code when it failed
};

// A process opened for ending; closing it is the destructor's job.
class OpenedProcess {
 public:
  virtual ~OpenedProcess() = default;
  // The exit code, 259 (STILL_ACTIVE) while the process runs; nothing when it cannot be read.
  virtual Result<std::optional<std::uint32_t>> exitCode() = 0;
  // Asks the system to end the process with the given exit code; true when it accepted.
  virtual Result<bool> terminate(std::uint32_t exitCode) = 0;
  // Whether ending the process would stop the system; also true when that cannot be told on a
  // system that knows critical processes.
  virtual bool mayBeCritical() = 0;
};

// Keeps the system from giving the process's ID to another process, even after the process has
// ended, for as long as it lives.
class HeldProcess {
 public:
  virtual ~HeldProcess() = default;
};

// The console window of the command prompt this program was started from, and the window at the
// end of its chain of owners: a terminal that shows the console as a tab. 0 for none.
struct LaunchingConsole {
  WindowHandle window = 0;
  WindowHandle holder = 0;
};

// The program that started this one, as found when this one started, and held from then on so that
// its ID names no other process for the run. 0 when none is held: it had already ended, its ID
// naming no process or one created after this one, or it could not be opened or told (the error).
using LaunchingProcess = Result<ProcessId>;

// This program's place among the sessions, as found when it started. In session 0, where services
// run, and in a window station that is not visible (a service's, or a scheduled task's that runs
// whether the user is logged on or not), no user's windows can be seen. What the system cannot
// tell counts as a user's session.
struct OwnSession {
  bool sessionZero = false;
  bool visibleWindowStation = true;
};

// Whether the system queued a message; when it refused, its error code.
using PostedMessage = Result<bool>;

enum class WaitWake { Signalled, Input, Timeout, Failed };

// A manual-reset event, created unsignalled; closed by the destructor.
class WaitEvent {
 public:
  virtual ~WaitEvent() = default;
  virtual void signal() = 0;
  virtual bool isSignalled() = 0;
  // Sleeps until the event is signalled, new input arrives in the thread's message queue, or
  // the time runs out.
  virtual WaitWake waitForSignalOrInput(std::uint32_t milliseconds) = 0;
  // Sleeps until the event is signalled or the time runs out, whatever arrives in the queue; when
  // even that wait fails, sleeps the time out.
  virtual void waitForSignal(std::uint32_t milliseconds) = 0;
};

using CreatedEvent = Result<std::unique_ptr<WaitEvent>>;

// The home-automation host's automation object. Each call throws Failure when it fails.
class HostAutomation {
 public:
  virtual ~HostAutomation() = default;
  virtual void SaveVar(const std::wstring& name, std::int16_t value) = 0;
  // The answer when it is text; nothing when the host answered with anything else.
  virtual std::optional<std::wstring> GetVar(const std::wstring& name) = 0;
  virtual void CreateVar(const std::wstring& name) = 0;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // The whole command line, the program's own path included.
  virtual std::wstring commandLine() = 0;
  // The full path of the program's own file.
  virtual std::wstring programPath() = 0;

  // The system's number parser under the user's locale; nothing when it rejects the text.
  virtual std::optional<double> parseNumber(const std::wstring& text) = 0;
  // The text in upper case by the casing rules of the user's locale (Turkish i becomes U+0130, a
  // dotted I), so that two texts mapped alike compare without regard to case. Throws Failure when
  // it cannot be mapped.
  virtual std::wstring upperCase(const std::wstring& text) = 0;

  // A snapshot of the top-level windows, topmost first. Throws Failure when the system cannot list
  // them: an empty list would read as "the window is gone".
  virtual std::vector<WindowHandle> topLevelWindows() = 0;
  // The parent of a window or, for a pop-up, its owner; 0 when it has neither.
  virtual WindowHandle parentOrOwner(WindowHandle window) = 0;
  // The owner of a window, pop-up or not; 0 when it has none.
  virtual WindowHandle owner(WindowHandle window) = 0;
  virtual bool isVisible(WindowHandle window) = 0;
  // 0 when the window does not exist.
  virtual ProcessId owningProcess(WindowHandle window) = 0;
  // At most maxChars characters; empty when there is no text or no window.
  virtual std::wstring windowText(WindowHandle window, std::size_t maxChars) = 0;
  virtual std::wstring className(WindowHandle window, std::size_t maxChars) = 0;
  virtual bool windowExists(WindowHandle window) = 0;
  // Queues WM_CLOSE for the window and returns at once.
  virtual PostedMessage postClose(WindowHandle window) = 0;
  // The console this program was started from, as found when it started.
  virtual LaunchingConsole launchingConsole() = 0;
  // The program that started this one, as found when it started.
  virtual LaunchingProcess launchingProcess() = 0;
  // The session and window station this program runs in, as found when it started.
  virtual OwnSession ownSession() = 0;

  virtual ProcessId currentProcessId() = 0;
  // Opens the process with all access rights; null when it cannot be opened.
  virtual Result<std::unique_ptr<OpenedProcess>> openProcess(ProcessId process) = 0;
  // Holds the process with the least access that keeps its ID; null when it cannot be held (no
  // such process, or access denied).
  virtual Result<std::unique_ptr<HeldProcess>> holdProcess(ProcessId process) = 0;
  // The process that draws the shell (the taskbar and the desktop); 0 when there is none.
  virtual ProcessId shellProcess() = 0;
  // The full path of the process's program; empty when it cannot be read.
  virtual std::wstring processImagePath(ProcessId process) = 0;

  virtual Ticks monotonicTime() = 0;
  virtual CreatedEvent createEvent() = 0;
  // Sleeps until new input arrives in the thread's message queue or the time runs out; when that
  // wait fails, sleeps the time out. True when input arrived.
  virtual bool waitForInput(std::uint32_t milliseconds) = 0;
  // Whether a message waits in the thread's queue (without removing it).
  virtual bool messageWaiting() = 0;
  // Retrieves, translates and dispatches every message waiting in the thread's queue. Message
  // handlers must not throw: no exception may cross the system's dispatching.
  virtual void dispatchAllMessages() = 0;

  // Activates an automation object by its programmatic identifier; throws Failure.
  virtual std::unique_ptr<HostAutomation> createObject(const std::wstring& progId) = 0;

  // Hands one line of the run's trace (printable ASCII) to the system's debug-output stream and
  // returns at once, whoever listens there and however slowly: the line may be dropped instead.
  virtual void trace(const std::string& line) = 0;
};

}  // namespace halvik
