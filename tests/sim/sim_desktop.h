#pragma once

// A simulated desktop for the unit tests: top-level windows in Z-order, processes, the program's
// message queue, events, a virtual clock that moves only while the program waits, the host's
// automation object, and failures to inject. Handles are plain numbers.

#include <functional>
#include <map>
#include <set>
#include <vector>

#include "platform/platform.h"

namespace halvik::sim {

constexpr Ticks milliseconds(std::int64_t count) { return count * TicksPerMillisecond; }
constexpr Ticks seconds(std::int64_t count) { return milliseconds(count * 1000); }

constexpr std::uint32_t StillActive = 259;

struct SimWindow {
  WindowHandle handle = 0;
  std::wstring title;
  std::wstring className = L"SimWindow";
  ProcessId process = 0;
  WindowHandle owner = 0;     // parent or owner
  bool ownerIsParent = true;  // false for an owned window that is no pop-up: GetParent gives 0
  bool visible = true;
  // What the window's application does when the close request reaches it; nothing by default.
  std::function<void()> onClose;
  // The system's error when it refuses to queue the close request (5: the window is elevated).
  std::uint32_t closeRefusal = 0;
};

struct SimProcess {
  std::uint32_t exitCode = StillActive;
  bool exitCodeReadable = true;
  bool canOpen = true;  // with all access rights
  bool canHold = true;
  int holds = 0;  // while any, the ID is not given to another process
  bool acceptsTermination = true;
  Ticks endDelay = 0;  // from the termination request to the process being gone
  bool windowsOutliveProcess = false;
  bool critical = false;
  std::wstring imagePath = L"C:\\Program Files\\App\\app.exe";
};

struct Termination {
  ProcessId process;
  std::uint32_t exitCode;
  bool operator==(const Termination& other) const {
    return process == other.process && exitCode == other.exitCode;
  }
};

// The host application's variables and the calls made on its automation object.
struct SimHost {
  bool installed = true;
  std::set<std::wstring> variables;
  std::set<std::wstring> failingCalls;  // member names whose calls fail
  // Replaces the host's own answer to GetVar when set.
  std::function<std::optional<std::wstring>(const std::wstring&)> getVarAnswer;

  std::vector<std::wstring> calls;  // "create", "SaveVar Status -3", "GetVar Status", …
  std::vector<std::int16_t> savedValues(const std::wstring& name) const;
  int objectsAlive = 0;
};

class SimDesktop : public Platform {
 public:
  SimDesktop();
  ~SimDesktop() override;

  // Building the desktop. A new window goes to the bottom of the Z-order.
  WindowHandle addWindow(const std::wstring& title, ProcessId process, WindowHandle owner = 0);
  SimWindow& window(WindowHandle handle);
  const std::vector<SimWindow>& windows() const { return windows_; }  // topmost first
  void raiseToTop(WindowHandle handle);
  void destroyWindow(WindowHandle handle);
  SimProcess& process(ProcessId id);
  void endProcess(ProcessId id, std::uint32_t exitCode);
  // A new process, with the wanted ID when the system may reuse it (its process has ended and
  // nothing holds it), otherwise with an unused one. Returns the ID given.
  ProcessId startProcess(ProcessId wantedId);
  WindowHandle nextHandle = 0x10010;

  // Reactions to the close request.
  void quitsOnClose(WindowHandle handle, Ticks after = 0);
  void asksToSaveOnClose(WindowHandle handle);

  // The timeline: desktop changes, and input for the program's own message queue.
  void at(Ticks when, std::function<void()> change);
  void messageArrivesAt(Ticks when, std::function<void()> handler);
  void wakeWithoutMessageAt(Ticks when);

  Ticks now() const { return now_; }
  std::wstring commandLineText = L"halvik.exe";
  std::wstring programPathText = L"C:\\Program Files\\Halvik\\halvik.exe";
  ProcessId shell = 0;
  ProcessId ownProcessId = 7000;
  // The user's locale; only its casing of i matters here, which "tr-TR" maps to İ.
  std::wstring userLocale = L"en-US";
  // What changes on the desktop between the program's last look at a process and its hold on it.
  std::function<void()> beforeHold;
  LaunchingConsole console;
  LaunchingProcess launcher;
  OwnSession session;
  std::optional<std::uint32_t> createEventError;  // event creation fails with this error code
  bool windowWalkFails = false;
  int eventsOpen() const { return eventsOpen_; }
  int processesOpen() const { return processesOpen_; }
  std::vector<WindowHandle> closeRequests;
  std::vector<Termination> terminations;
  SimHost host;
  std::vector<std::string> traceLines;  // as the program handed them to the trace

  // Platform
  std::wstring commandLine() override { return commandLineText; }
  std::wstring programPath() override { return programPathText; }
  std::optional<double> parseNumber(const std::wstring& text) override;
  std::wstring upperCase(const std::wstring& text) override;
  std::vector<WindowHandle> topLevelWindows() override;
  WindowHandle parentOrOwner(WindowHandle handle) override;
  WindowHandle owner(WindowHandle handle) override;
  bool isVisible(WindowHandle handle) override;
  ProcessId owningProcess(WindowHandle handle) override;
  std::wstring windowText(WindowHandle handle, std::size_t maxChars) override;
  std::wstring className(WindowHandle handle, std::size_t maxChars) override;
  bool windowExists(WindowHandle handle) override;
  PostedMessage postClose(WindowHandle handle) override;
  LaunchingConsole launchingConsole() override { return console; }
  LaunchingProcess launchingProcess() override { return launcher; }
  OwnSession ownSession() override { return session; }
  ProcessId currentProcessId() override { return ownProcessId; }
  Result<std::unique_ptr<OpenedProcess>> openProcess(ProcessId id) override;
  Result<std::unique_ptr<HeldProcess>> holdProcess(ProcessId id) override;
  ProcessId shellProcess() override { return shell; }
  std::wstring processImagePath(ProcessId id) override { return process(id).imagePath; }
  Ticks monotonicTime() override { return now_; }
  CreatedEvent createEvent() override;
  bool waitForInput(std::uint32_t milliseconds) override;
  bool messageWaiting() override { return !queue_.empty(); }
  void dispatchAllMessages() override;
  std::unique_ptr<HostAutomation> createObject(const std::wstring& progId) override;
  void trace(const std::string& line) override { traceLines.push_back(line); }

  // Runs the timeline up to the deadline; stops early when the event is signalled or, unless told
  // otherwise, when input arrives for the program.
  WaitWake waitUntil(Ticks deadline, const bool& eventSignalled, bool wakeOnInput = true);
  void eventOpened() { ++eventsOpen_; }
  void eventClosed() { --eventsOpen_; }
  void processOpened() { ++processesOpen_; }
  void processClosed() { --processesOpen_; }

 private:
  const SimWindow* find(WindowHandle handle) const;

  std::vector<SimWindow> windows_;  // topmost first
  std::map<ProcessId, SimProcess> processes_;
  std::multimap<Ticks, std::function<void()>> timeline_;
  std::vector<std::function<void()>> queue_;
  bool inputArrived_ = false;
  Ticks now_ = 0;
  int eventsOpen_ = 0;
  int processesOpen_ = 0;
};

}  // namespace halvik::sim
