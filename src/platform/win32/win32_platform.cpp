#include "platform/win32/win32_platform.h"

#include <windows.h>  // first: the other system headers rely on it

#include <oleauto.h>

#include "platform/win32/automation_object.h"
#include "platform/win32/launching_console.h"
#include "platform/win32/message_wait.h"
#include "platform/win32/system_failure.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/window_handle.h"

namespace halvik::win32 {
namespace {

// The longest path the system's calls hand out.
constexpr std::size_t MaxPathChars = 32768;
// The access the forced end asks for: every right a process had before Vista. The rights added
// since are none that reading the exit code or ending the process needs.
constexpr DWORD ProcessAllAccess = 0x1F0FFF;

template <int(WINAPI* Read)(HWND, LPWSTR, int)>
std::wstring readWindowString(WindowHandle window, std::size_t maxChars) {
  std::wstring buffer(maxChars + 1, L'\0');
  const int count = Read(toHwnd(window), buffer.data(), static_cast<int>(buffer.size()));
  return count > 0 ? buffer.substr(0, static_cast<std::size_t>(count)) : std::wstring();
}

// What NtQueryInformationProcess is asked and may answer about a process's criticality.
constexpr ULONG ProcessBreakOnTermination = 29;
constexpr LONG StatusInvalidInfoClass = static_cast<LONG>(0xC0000003);

class Win32OpenedProcess : public OpenedProcess {
 public:
  Win32OpenedProcess(UniqueHandle process, QueryProcess queryProcess)
      : process_(std::move(process)), queryProcess_(queryProcess) {}

  Result<std::optional<std::uint32_t>> exitCode() override {
    DWORD code = 0;
    if (!GetExitCodeProcess(process_.get(), &code)) return {std::nullopt, GetLastError()};
    return {code};
  }

  Result<bool> terminate(std::uint32_t exitCode) override {
    if (!TerminateProcess(process_.get(), exitCode)) return {false, GetLastError()};
    return {true};
  }

  // A critical process is one marked to stop the system when it ends, which every Windows from 7
  // on tells. A system that does not know the question (Wine) has no critical processes; any other
  // failure to answer counts as critical.
  bool mayBeCritical() override {
    if (!queryProcess_) return true;
    ULONG breakOnTermination = 0;
    const LONG status = queryProcess_(process_.get(), ProcessBreakOnTermination,
                                      &breakOnTermination, sizeof breakOnTermination, nullptr);
    if (status == StatusInvalidInfoClass) return false;
    return status < 0 || breakOnTermination != 0;
  }

 private:
  UniqueHandle process_;
  QueryProcess queryProcess_;
};

// What NtQueryInformationProcess answers about a process for ProcessBasicInformation: the last
// field is the ID of the process that created it.
constexpr ULONG ProcessBasicInformationClass = 0;
struct ProcessBasicInformation {
  LONG exitStatus;
  PVOID pebBaseAddress;
  ULONG_PTR affinityMask;
  LONG basePriority;
  ULONG_PTR uniqueProcessId;
  ULONG_PTR inheritedFromUniqueProcessId;
};

// When the process was created, in the system's 100-nanosecond ticks; nothing when it cannot be
// read.
std::optional<ULONGLONG> creationTime(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return std::nullopt;
  return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

// The system records the ID of the process that created this one, and that ID names another once
// the creator has ended and the ID has passed on. Held at once, it names for the run whatever it
// names now, and that is the creator only if it was created before this one: an equal time counts
// as before, as the system's clock for it moves in steps (some 15 ms on older systems) and a
// launcher may start this program within its first step.
Win32Platform::HeldLauncher findLaunchingProcess(QueryProcess queryProcess) {
  if (!queryProcess) return {{}, {0, ERROR_PROC_NOT_FOUND}};  // as GetProcAddress found it
  ProcessBasicInformation basic{};
  const LONG status = queryProcess(GetCurrentProcess(), ProcessBasicInformationClass, &basic,
                                   sizeof basic, nullptr);
  if (status < 0) return {{}, {0, static_cast<std::uint32_t>(status)}};  // the status itself
  const auto id = static_cast<DWORD>(basic.inheritedFromUniqueProcessId);
  UniqueHandle launcher(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, id));
  if (!launcher) return {{}, {0, GetLastError()}};
  const auto launcherCreated = creationTime(launcher.get());
  if (!launcherCreated) return {{}, {0, GetLastError()}};
  const auto created = creationTime(GetCurrentProcess());
  if (!created) return {{}, {0, GetLastError()}};
  if (*launcherCreated > *created) return {};
  return {std::move(launcher), {static_cast<ProcessId>(id), 0}};
}

// Services run in session 0, apart from every user's session, and a service (or a task run whether
// the user is logged on or not) gets a window station that is not visible. The window station's
// handle is the process's own, not to be closed.
OwnSession findOwnSession() {
  DWORD session = 0;
  const bool sessionZero = ProcessIdToSessionId(GetCurrentProcessId(), &session) && session == 0;
  USEROBJECTFLAGS flags{};
  const HWINSTA station = GetProcessWindowStation();
  const bool flagsRead =
      station && GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, nullptr);
  return {sessionZero, !flagsRead || (flags.dwFlags & WSF_VISIBLE) != 0};
}

// An open handle to a process keeps its ID from being reused, whatever the access it was opened
// with.
class Win32HeldProcess : public HeldProcess {
 public:
  explicit Win32HeldProcess(UniqueHandle process) : process_(std::move(process)) {}

 private:
  UniqueHandle process_;
};

class Win32WaitEvent : public WaitEvent {
 public:
  explicit Win32WaitEvent(UniqueHandle event) : event_(std::move(event)) {}

  void signal() override { SetEvent(event_.get()); }
  bool isSignalled() override { return WaitForSingleObject(event_.get(), 0) == WAIT_OBJECT_0; }

  void waitForSignal(std::uint32_t milliseconds) override {
    waitForHandleAlone(event_.get(), milliseconds);
  }

  WaitWake waitForSignalOrInput(std::uint32_t milliseconds) override {
    return waitForHandleOrInput(event_.get(), milliseconds);
  }

 private:
  UniqueHandle event_;
};

// What a window walk collects, and whether it had to stop short.
struct WindowWalk {
  std::vector<WindowHandle> windows;
  bool outOfMemory = false;
};

// No exception may unwind through the system's frames (MinGW's 32-bit exceptions cannot: the
// program would abort), so running out of memory stops the walk here, to fail after it.
BOOL CALLBACK collectWindow(HWND window, LPARAM walk) {
  auto& collected = *reinterpret_cast<WindowWalk*>(walk);
  try {
    collected.windows.push_back(fromHwnd(window));
    return TRUE;
  } catch (...) {
    collected.outOfMemory = true;
    return FALSE;
  }
}

}  // namespace

// Looked up now, not at the forced end: the lookup takes the loader lock, which a host stuck in
// loading (its activation abandoned) may hold for good by then.
Win32Platform::Win32Platform()
    : queryProcess_(reinterpret_cast<QueryProcess>(reinterpret_cast<void (*)()>(
          GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")))),
      launcher_(findLaunchingProcess(queryProcess_)),
      launchingConsole_(findLaunchingConsole(launcher_.found.value)),
      ownSession_(findOwnSession()) {}

std::wstring Win32Platform::commandLine() { return GetCommandLineW(); }

std::wstring Win32Platform::programPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) return path.substr(0, length);  // 0 when it failed: no path
    path.resize(path.size() * 2);
  }
}

std::optional<double> Win32Platform::parseNumber(const std::wstring& text) {
  double number = 0;
  // MinGW-w64 declares the text parameter without const; the parser does not write to it.
  if (FAILED(VarR8FromStr(const_cast<OLECHAR*>(text.c_str()), LOCALE_USER_DEFAULT, 0, &number))) {
    return std::nullopt;
  }
  return number;
}

// Without LCMAP_LINGUISTIC_CASING the mapping follows the file system's rules, whatever the locale:
// under Turkish, "istanbul" would become "ISTANBUL" and never match it written with a dotted
// capital I. Upper case maps character for character, so the text's own length is room enough.
std::wstring Win32Platform::upperCase(const std::wstring& text) {
  if (text.empty()) return text;
  std::wstring upper(text.size(), L'\0');
  const int length =
      LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_UPPERCASE | LCMAP_LINGUISTIC_CASING, text.data(),
                   static_cast<int>(text.size()), upper.data(), static_cast<int>(upper.size()));
  if (length <= 0) throwLastError("LCMapStringW", "the text could not be mapped");
  upper.resize(static_cast<std::size_t>(length));
  return upper;
}

// The top-level windows of this thread's desktop, as EnumWindows lists them. Wine's EnumWindows
// asks its server once more for every window whether it still exists, which a walk that reads
// each title anyway does not need; the poll walks once a second.
std::vector<WindowHandle> Win32Platform::topLevelWindows() {
  WindowWalk walk;
  const BOOL walked = EnumDesktopWindows(nullptr, collectWindow, reinterpret_cast<LPARAM>(&walk));
  if (walk.outOfMemory) throwOutOfMemory("EnumDesktopWindows");
  // An empty list would read as "the window is gone".
  if (!walked) throwLastError("EnumDesktopWindows", "the windows could not be listed");
  return std::move(walk.windows);
}

WindowHandle Win32Platform::parentOrOwner(WindowHandle window) {
  return fromHwnd(GetParent(toHwnd(window)));
}

WindowHandle Win32Platform::owner(WindowHandle window) {
  return fromHwnd(GetWindow(toHwnd(window), GW_OWNER));
}

bool Win32Platform::isVisible(WindowHandle window) {
  return IsWindowVisible(toHwnd(window)) != FALSE;
}

ProcessId Win32Platform::owningProcess(WindowHandle window) {
  DWORD process = 0;
  GetWindowThreadProcessId(toHwnd(window), &process);
  return static_cast<ProcessId>(process);
}

// GetWindowTextW sends WM_GETTEXT to a window of this process and waits for its thread, and a
// host loaded into the process may own a window on a thread that no longer reads its messages.
// InternalGetWindowText reads the title the system keeps, for every window alike, and never sends.
std::wstring Win32Platform::windowText(WindowHandle window, std::size_t maxChars) {
  return readWindowString<InternalGetWindowText>(window, maxChars);
}

std::wstring Win32Platform::className(WindowHandle window, std::size_t maxChars) {
  return readWindowString<GetClassNameW>(window, maxChars);
}

bool Win32Platform::windowExists(WindowHandle window) { return IsWindow(toHwnd(window)) != FALSE; }

PostedMessage Win32Platform::postClose(WindowHandle window) {
  if (!PostMessageW(toHwnd(window), WM_CLOSE, 0, 0)) return {false, GetLastError()};
  return {true};
}

ProcessId Win32Platform::currentProcessId() {
  return static_cast<ProcessId>(GetCurrentProcessId());
}

Result<std::unique_ptr<OpenedProcess>> Win32Platform::openProcess(ProcessId process) {
  UniqueHandle handle(OpenProcess(ProcessAllAccess, FALSE, static_cast<DWORD>(process)));
  if (!handle) return {nullptr, GetLastError()};
  return {std::make_unique<Win32OpenedProcess>(std::move(handle), queryProcess_)};
}

Result<std::unique_ptr<HeldProcess>> Win32Platform::holdProcess(ProcessId process) {
  // Any access keeps the ID, so the hold asks for the least: the right to wait for the process.
  UniqueHandle handle(OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(process)));
  if (!handle) return {nullptr, GetLastError()};
  return {std::make_unique<Win32HeldProcess>(std::move(handle))};
}

ProcessId Win32Platform::shellProcess() {
  const HWND shell = GetShellWindow();
  return shell ? owningProcess(fromHwnd(shell)) : 0;
}

std::wstring Win32Platform::processImagePath(ProcessId process) {
  const UniqueHandle handle(
      OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(process)));
  std::wstring path(MaxPathChars, L'\0');
  DWORD length = static_cast<DWORD>(path.size());
  if (!handle || !QueryFullProcessImageNameW(handle.get(), 0, path.data(), &length)) return {};
  return path.substr(0, length);
}

Ticks Win32Platform::monotonicTime() {
  return static_cast<Ticks>(GetTickCount64()) * TicksPerMillisecond;
}

CreatedEvent Win32Platform::createEvent() {
  UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!event) return {nullptr, GetLastError()};
  return {std::make_unique<Win32WaitEvent>(std::move(event))};
}

bool Win32Platform::waitForInput(std::uint32_t milliseconds) {
  return waitForInputAlone(milliseconds);
}

bool Win32Platform::messageWaiting() {
  MSG message;
  return PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_NOYIELD) != FALSE;
}

void Win32Platform::dispatchAllMessages() { dispatchWaitingMessages(); }

std::unique_ptr<HostAutomation> Win32Platform::createObject(const std::wstring& progId) {
  // Before activation, which may load host code whether or not it succeeds.
  trace_.makeNoMoreThreads();
  if (!apartment_) apartment_.emplace(COINIT_MULTITHREADED);
  return std::make_unique<AutomationObject>(progId);
}

}  // namespace halvik::win32
