#include "sim/sim_desktop.h"

#include <algorithm>
#include <cwctype>
#include <regex>
#include <stdexcept>

#include "platform/failure.h"

namespace halvik::sim {
namespace {

constexpr std::uint32_t HostCallFailed = 0x80004005;  // E_FAIL
constexpr std::uint32_t AccessDenied = 5;             // ERROR_ACCESS_DENIED
constexpr std::uint32_t InvalidParameter = 87;        // ERROR_INVALID_PARAMETER: no such process
constexpr std::uint32_t InvalidWindowHandle = 1400;   // ERROR_INVALID_WINDOW_HANDLE

// An ended process that nothing holds is gone from the system: its ID may be given to another.
bool isGone(const SimProcess& process) {
  return process.exitCode != StillActive && process.holds == 0;
}

class SimOpenedProcess : public OpenedProcess {
 public:
  SimOpenedProcess(SimDesktop& desktop, ProcessId id) : desktop_(desktop), id_(id) {
    desktop_.processOpened();
  }
  ~SimOpenedProcess() override { desktop_.processClosed(); }

  Result<std::optional<std::uint32_t>> exitCode() override {
    const SimProcess& process = desktop_.process(id_);
    if (!process.exitCodeReadable) return {std::nullopt, AccessDenied};
    return {process.exitCode};
  }

  Result<bool> terminate(std::uint32_t exitCode) override {
    desktop_.terminations.push_back({id_, exitCode});
    const SimProcess& process = desktop_.process(id_);
    if (!process.acceptsTermination || process.exitCode != StillActive)
      return {false, AccessDenied};
    // Captures by value: the opened process is gone long before the process ends.
    desktop_.at(desktop_.now() + process.endDelay,
                [desktop = &desktop_, id = id_, exitCode] { desktop->endProcess(id, exitCode); });
    return {true};
  }

  bool mayBeCritical() override { return desktop_.process(id_).critical; }

 private:
  SimDesktop& desktop_;
  ProcessId id_;
};

class SimHeldProcess : public HeldProcess {
 public:
  SimHeldProcess(SimDesktop& desktop, ProcessId id) : desktop_(desktop), id_(id) {
    ++desktop_.process(id_).holds;
    desktop_.processOpened();
  }
  ~SimHeldProcess() override {
    --desktop_.process(id_).holds;
    desktop_.processClosed();
  }

 private:
  SimDesktop& desktop_;
  ProcessId id_;
};

class SimEvent : public WaitEvent {
 public:
  explicit SimEvent(SimDesktop& desktop) : desktop_(desktop) { desktop_.eventOpened(); }
  ~SimEvent() override { desktop_.eventClosed(); }

  void signal() override { signalled_ = true; }
  bool isSignalled() override { return signalled_; }
  WaitWake waitForSignalOrInput(std::uint32_t milliseconds) override {
    if (signalled_) return WaitWake::Signalled;
    return desktop_.waitUntil(desktop_.now() + sim::milliseconds(milliseconds), signalled_);
  }
  void waitForSignal(std::uint32_t milliseconds) override {
    if (signalled_) return;
    desktop_.waitUntil(desktop_.now() + sim::milliseconds(milliseconds), signalled_,
                       /*wakeOnInput=*/false);
  }

 private:
  SimDesktop& desktop_;
  bool signalled_ = false;
};

class SimHostObject : public HostAutomation {
 public:
  explicit SimHostObject(SimHost& host) : host_(host) { ++host_.objectsAlive; }
  ~SimHostObject() override { --host_.objectsAlive; }

  void SaveVar(const std::wstring& name, std::int16_t value) override {
    call(L"SaveVar", name);
    if (host_.variables.count(name) == 0) {
      host_.calls.push_back(L"failed SaveVar " + name);
      fail();
    }
    host_.calls.push_back(L"SaveVar " + name + L" " + std::to_wstring(value));
  }

  std::optional<std::wstring> GetVar(const std::wstring& name) override {
    call(L"GetVar", name);
    host_.calls.push_back(L"GetVar " + name);
    if (host_.getVarAnswer) return host_.getVarAnswer(name);
    if (host_.variables.count(name) == 0) return L"Name not found";
    return std::nullopt;  // the stored number
  }

  void CreateVar(const std::wstring& name) override {
    call(L"CreateVar", name);
    host_.calls.push_back(L"CreateVar " + name);
    host_.variables.insert(name);
  }

 private:
  void call(const std::wstring& member, const std::wstring& name) {
    if (host_.failingCalls.count(member) != 0) {
      host_.calls.push_back(L"failed " + member + L" " + name);
      fail();
    }
  }
  [[noreturn]] void fail() { throw Failure(HostCallFailed, "homeseer.application", "call failed"); }

  SimHost& host_;
};

}  // namespace

std::vector<std::int16_t> SimHost::savedValues(const std::wstring& name) const {
  std::vector<std::int16_t> values;
  const std::wstring prefix = L"SaveVar " + name + L" ";
  for (const auto& entry : calls) {
    if (entry.rfind(prefix, 0) == 0) {
      values.push_back(static_cast<std::int16_t>(std::stoi(entry.substr(prefix.size()))));
    }
  }
  return values;
}

SimDesktop::SimDesktop() = default;
SimDesktop::~SimDesktop() = default;

WindowHandle SimDesktop::addWindow(const std::wstring& title, ProcessId processId,
                                   WindowHandle owner) {
  SimWindow added;
  added.handle = nextHandle;
  nextHandle += 4;
  added.title = title;
  added.process = processId;
  added.owner = owner;
  process(processId);
  windows_.push_back(added);
  return added.handle;
}

SimWindow& SimDesktop::window(WindowHandle handle) {
  for (auto& each : windows_) {
    if (each.handle == handle) return each;
  }
  throw std::logic_error("no such simulated window");
}

void SimDesktop::raiseToTop(WindowHandle handle) {
  const auto raised = window(handle);
  destroyWindow(handle);
  windows_.insert(windows_.begin(), raised);
}

void SimDesktop::destroyWindow(WindowHandle handle) {
  windows_.erase(std::remove_if(windows_.begin(), windows_.end(),
                                [handle](const SimWindow& each) { return each.handle == handle; }),
                 windows_.end());
}

SimProcess& SimDesktop::process(ProcessId id) { return processes_[id]; }

void SimDesktop::endProcess(ProcessId id, std::uint32_t exitCode) {
  SimProcess& ended = process(id);
  ended.exitCode = exitCode;
  if (ended.windowsOutliveProcess) return;
  windows_.erase(std::remove_if(windows_.begin(), windows_.end(),
                                [id](const SimWindow& each) { return each.process == id; }),
                 windows_.end());
}

ProcessId SimDesktop::startProcess(ProcessId wantedId) {
  ProcessId id = wantedId;
  while (processes_.count(id) != 0 && !isGone(processes_.at(id))) ++id;
  processes_[id] = SimProcess();
  return id;
}

void SimDesktop::quitsOnClose(WindowHandle handle, Ticks after) {
  const ProcessId owner = window(handle).process;
  window(handle).onClose = [this, owner, after] {
    at(now_ + after, [this, owner] { endProcess(owner, 0); });
  };
}

void SimDesktop::asksToSaveOnClose(WindowHandle handle) {
  window(handle).onClose = [this, handle] {
    const WindowHandle question = addWindow(L"Save changes?", window(handle).process, handle);
    raiseToTop(question);
    window(handle).onClose = nullptr;
  };
}

void SimDesktop::at(Ticks when, std::function<void()> change) {
  timeline_.emplace(when, std::move(change));
}

void SimDesktop::messageArrivesAt(Ticks when, std::function<void()> handler) {
  at(when, [this, handler = std::move(handler)] {
    queue_.push_back(handler);
    inputArrived_ = true;
  });
}

void SimDesktop::wakeWithoutMessageAt(Ticks when) {
  at(when, [this] { inputArrived_ = true; });
}

WaitWake SimDesktop::waitUntil(Ticks deadline, const bool& eventSignalled, bool wakeOnInput) {
  while (!timeline_.empty() && timeline_.begin()->first <= deadline) {
    auto next = timeline_.extract(timeline_.begin());
    now_ = std::max(now_, next.key());
    inputArrived_ = false;
    next.mapped()();
    if (eventSignalled) return WaitWake::Signalled;
    if (inputArrived_ && wakeOnInput) return WaitWake::Input;
  }
  now_ = std::max(now_, deadline);
  return WaitWake::Timeout;
}

// The forms the system's parser takes that the tests rely on: decimal numbers with an optional
// sign, fraction and exponent, and the &H and &O forms.
std::optional<double> SimDesktop::parseNumber(const std::wstring& text) {
  static const std::wregex decimal(LR"([+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?)");
  static const std::wregex hexadecimal(LR"(&[hH][0-9a-fA-F]+)");
  static const std::wregex octal(LR"(&[oO][0-7]+)");
  try {
    if (std::regex_match(text, decimal)) return std::stod(text);
    if (std::regex_match(text, hexadecimal)) return std::stoll(text.substr(2), nullptr, 16);
    if (std::regex_match(text, octal)) return std::stoll(text.substr(2), nullptr, 8);
  } catch (const std::out_of_range&) {
    // Too large for the parser, as for the system's.
  }
  return std::nullopt;
}

std::wstring SimDesktop::upperCase(const std::wstring& text) {
  constexpr wchar_t DottedCapitalI = L'\u0130';
  const bool turkishCasing = userLocale == L"tr-TR";
  std::wstring upper = text;
  for (wchar_t& c : upper) {
    c = turkishCasing && c == L'i' ? DottedCapitalI : static_cast<wchar_t>(std::towupper(c));
  }
  return upper;
}

std::vector<WindowHandle> SimDesktop::topLevelWindows() {
  if (windowWalkFails) throw Failure(0x80070008, "EnumWindows", "not enough memory");
  std::vector<WindowHandle> handles;
  for (const auto& each : windows_) handles.push_back(each.handle);
  return handles;
}

const SimWindow* SimDesktop::find(WindowHandle handle) const {
  for (const auto& each : windows_) {
    if (each.handle == handle) return &each;
  }
  return nullptr;
}

WindowHandle SimDesktop::parentOrOwner(WindowHandle handle) {
  const auto* found = find(handle);
  return found && found->ownerIsParent ? found->owner : 0;
}

WindowHandle SimDesktop::owner(WindowHandle handle) {
  const auto* found = find(handle);
  return found ? found->owner : 0;
}

bool SimDesktop::isVisible(WindowHandle handle) {
  const auto* found = find(handle);
  return found && found->visible;
}

ProcessId SimDesktop::owningProcess(WindowHandle handle) {
  const auto* found = find(handle);
  return found ? found->process : 0;
}

std::wstring SimDesktop::windowText(WindowHandle handle, std::size_t maxChars) {
  const auto* found = find(handle);
  return found ? found->title.substr(0, maxChars) : std::wstring();
}

std::wstring SimDesktop::className(WindowHandle handle, std::size_t maxChars) {
  const auto* found = find(handle);
  return found ? found->className.substr(0, maxChars) : std::wstring();
}

bool SimDesktop::windowExists(WindowHandle handle) { return find(handle) != nullptr; }

PostedMessage SimDesktop::postClose(WindowHandle handle) {
  closeRequests.push_back(handle);
  const auto* found = find(handle);
  if (!found) return {false, InvalidWindowHandle};
  if (found->closeRefusal != 0) return {false, found->closeRefusal};
  // A copy: the reaction may add windows or replace itself.
  if (const auto reaction = found->onClose) reaction();
  return {true};
}

Result<std::unique_ptr<OpenedProcess>> SimDesktop::openProcess(ProcessId id) {
  const auto known = processes_.find(id);
  if (known == processes_.end()) return {nullptr, InvalidParameter};
  if (!known->second.canOpen) return {nullptr, AccessDenied};
  return {std::make_unique<SimOpenedProcess>(*this, id)};
}

Result<std::unique_ptr<HeldProcess>> SimDesktop::holdProcess(ProcessId id) {
  if (beforeHold) beforeHold();
  const auto known = processes_.find(id);
  if (known == processes_.end() || isGone(known->second)) return {nullptr, InvalidParameter};
  if (!known->second.canHold) return {nullptr, AccessDenied};
  return {std::make_unique<SimHeldProcess>(*this, id)};
}

CreatedEvent SimDesktop::createEvent() {
  if (createEventError) return {nullptr, *createEventError};
  return {std::make_unique<SimEvent>(*this)};
}

bool SimDesktop::waitForInput(std::uint32_t milliseconds) {
  const bool noEvent = false;
  return waitUntil(now_ + sim::milliseconds(milliseconds), noEvent) == WaitWake::Input;
}

void SimDesktop::dispatchAllMessages() {
  while (!queue_.empty()) {
    auto handler = std::move(queue_.front());
    queue_.erase(queue_.begin());
    handler();
  }
}

std::unique_ptr<HostAutomation> SimDesktop::createObject(const std::wstring& progId) {
  host.calls.push_back(L"create " + progId);
  if (!host.installed) throw Failure(0x800401F3, "CLSIDFromProgID", "Invalid class string");
  return std::make_unique<SimHostObject>(host);
}

}  // namespace halvik::sim
