#include "property/faulty_platform.h"

#include <stdexcept>

#include "platform/failure.h"

namespace halvik::property {
namespace {

constexpr std::uint32_t InjectedFailure = 0x80004005;  // E_FAIL
constexpr std::uint32_t NoSystemResources = 1450;      // ERROR_NO_SYSTEM_RESOURCES

class FaultyProcess : public OpenedProcess {
 public:
  FaultyProcess(FaultyPlatform& platform, std::unique_ptr<OpenedProcess> process, ProcessId id)
      : platform_(platform), process_(std::move(process)), id_(id) {}

  Result<std::optional<std::uint32_t>> exitCode() override {
    if (platform_.fails(FaultKind::Truthful)) return {std::nullopt, InjectedSystemError};
    return process_->exitCode();
  }
  Result<bool> terminate(std::uint32_t exitCode) override {
    platform_.observeTermination(id_, exitCode);
    const auto accepted = platform_.fails(FaultKind::Truthful)
                              ? Result<bool>{false, InjectedSystemError}
                              : process_->terminate(exitCode);
    platform_.seen.terminations.back().accepted = accepted.value;
    return accepted;
  }
  bool mayBeCritical() override {
    return platform_.fails(FaultKind::Truthful) || process_->mayBeCritical();
  }

 private:
  FaultyPlatform& platform_;
  std::unique_ptr<OpenedProcess> process_;
  ProcessId id_;
};

class FaultyEvent : public WaitEvent {
 public:
  FaultyEvent(FaultyPlatform& platform, std::unique_ptr<WaitEvent> event)
      : platform_(platform), event_(std::move(event)) {
    ++platform_.seen.waitsBegun;
  }
  ~FaultyEvent() override {
    if (event_->isSignalled()) ++platform_.seen.waitsEnded;
  }

  void signal() override { event_->signal(); }
  bool isSignalled() override { return event_->isSignalled(); }
  WaitWake waitForSignalOrInput(std::uint32_t milliseconds) override {
    if (platform_.fails(FaultKind::Truthful)) return WaitWake::Failed;
    return event_->waitForSignalOrInput(milliseconds);
  }
  void waitForSignal(std::uint32_t milliseconds) override { event_->waitForSignal(milliseconds); }

 private:
  FaultyPlatform& platform_;
  std::unique_ptr<WaitEvent> event_;
};

class FaultyHost : public HostAutomation {
 public:
  FaultyHost(FaultyPlatform& platform, std::unique_ptr<HostAutomation> host)
      : platform_(platform), host_(std::move(host)) {}

  void SaveVar(const std::wstring& name, std::int16_t value) override {
    platform_.throwIfFails(FaultKind::InHost, "SaveVar");
    host_->SaveVar(name, value);
  }
  std::optional<std::wstring> GetVar(const std::wstring& name) override {
    platform_.throwIfFails(FaultKind::InHost, "GetVar");
    return host_->GetVar(name);
  }
  void CreateVar(const std::wstring& name) override {
    platform_.throwIfFails(FaultKind::InHost, "CreateVar");
    host_->CreateVar(name);
  }

 private:
  FaultyPlatform& platform_;
  std::unique_ptr<HostAutomation> host_;
};

}  // namespace

bool FaultyPlatform::fails(FaultKind kind) {
  if (++seen.calls > RunawayCalls) throw std::runtime_error("the run does not end");
  if (seen.calls != failingCall_) return false;
  seen.injected = kind;
  return true;
}

void FaultyPlatform::throwIfFails(FaultKind kind, const char* call) {
  if (fails(kind)) throw Failure(InjectedFailure, call, "injected failure");
}

void FaultyPlatform::throwIfSearchFails(const char* call) {
  const Ticks now = desktop_.now();
  const bool withinFailingTime = searchFailsFrom_ <= now && now < searchFailsUntil_;
  if (fails(FaultKind::SearchFailed) || withinFailingTime) {
    if (!seen.injected) seen.injected = FaultKind::SearchFailed;
    seen.lastSearchFailure = now;
    throw Failure(InjectedFailure, call, "injected failure");
  }
}

WindowHandle FaultyPlatform::vanishesIfFails(WindowHandle window) {
  if (fails(FaultKind::Truthful)) desktop_.destroyWindow(window);
  return window;
}

std::vector<WindowHandle> FaultyPlatform::topLevelWindows() {
  throwIfSearchFails("EnumWindows");
  walkBefore_ = std::move(lastWalk_);
  lastWalk_ = desktop_.windows();
  return desktop_.topLevelWindows();
}

CreatedEvent FaultyPlatform::createEvent() {
  if (fails(FaultKind::EventRefused)) {
    ++seen.eventsRefused;
    return {nullptr, NoSystemResources};
  }
  if (desktop_.eventsOpen() > 0) ++seen.overlappingWaits;
  auto created = desktop_.createEvent();
  if (created.value) created.value = std::make_unique<FaultyEvent>(*this, std::move(created.value));
  return created;
}

bool FaultyPlatform::waitForInput(std::uint32_t milliseconds) {
  if (!fails(FaultKind::Truthful)) return desktop_.waitForInput(milliseconds);
  const bool noEvent = false;
  desktop_.waitUntil(desktop_.now() + sim::milliseconds(milliseconds), noEvent, false);
  return false;
}

std::unique_ptr<HostAutomation> FaultyPlatform::createObject(const std::wstring& progId) {
  throwIfFails(FaultKind::InHost, "CreateObject");
  return std::make_unique<FaultyHost>(*this, desktop_.createObject(progId));
}

void FaultyPlatform::observeTermination(ProcessId process, std::uint32_t exitCode) {
  seen.terminations.push_back(
      {process, exitCode, desktop_.process(process).exitCode, desktop_.windows(), walkBefore_});
}

Result<std::unique_ptr<OpenedProcess>> FaultyPlatform::openProcess(ProcessId process) {
  if (fails(FaultKind::Truthful)) return {nullptr, InjectedSystemError};
  auto opened = desktop_.openProcess(process);
  if (opened.value)
    opened.value = std::make_unique<FaultyProcess>(*this, std::move(opened.value), process);
  return opened;
}

}  // namespace halvik::property
