#pragma once

// The simulated desktop as the program sees it in the property runs. Every call that can fail is
// counted, the chosen one fails the way that call fails on Windows, and what the properties need
// but the desktop does not keep is recorded. A new Platform operation costs one line here:
// forwarded as it is, or behind the failure helper that matches its way of failing.

#include <optional>
#include <utility>
#include <vector>

#include "sim/sim_desktop.h"

namespace halvik::property {

enum class FaultKind {
  SearchFailed,  // the window walk or the case mapping failed: the failure rule applies
  EventRefused,  // a wait's event could not be made: its round is waited out without one
  InHost,        // a call to the host failed, thrown and passed over too
  Truthful,      // a window vanished, a process would not open, end or tell its exit code, a
                 // wait failed: what the program sees stays true
};

// The system's error code that every injected failure of an operation answering with a value
// carries: ERROR_GEN_FAILURE.
constexpr std::uint32_t InjectedSystemError = 31;

struct TerminationSeen {
  ProcessId process;
  std::uint32_t exitCode;
  std::uint32_t exitCodeBefore;             // the process's own, when it was asked to end
  std::vector<sim::SimWindow> desktopThen;  // the windows when it was asked to end
  std::vector<sim::SimWindow> walkBefore;   // the windows as the walk before the last one saw them
  bool accepted = false;                    // the system took the request
};

struct Observations {
  std::uint32_t calls = 0;  // that could fail
  std::optional<FaultKind> injected;
  std::optional<Ticks> lastSearchFailure;  // when a window search last failed
  std::optional<Ticks> closeRequested;
  std::optional<Ticks> forcedEndBegun;
  bool holdRefused = false;                   // the forced end is then reached but makes no call
  std::vector<TerminationSeen> terminations;  // requested, accepted or not
  int waitsBegun = 0;
  int eventsRefused = 0;
  int waitsEnded = 0;  // their event signalled (Cancel, then OnTimer) and then closed
  int overlappingWaits = 0;
};

class FaultyPlatform : public Platform {
 public:
  // Far more calls than two polls of 50 rounds make: a run that gets here does not end.
  static constexpr std::uint32_t RunawayCalls = 100000;

  // Besides the one failing call, every window search fails from searchFailsFrom until
  // searchFailsUntil (both 0: never).
  FaultyPlatform(sim::SimDesktop& desktop, std::uint32_t failingCall, Ticks searchFailsFrom = 0,
                 Ticks searchFailsUntil = 0)
      : desktop_(desktop),
        failingCall_(failingCall),
        searchFailsFrom_(searchFailsFrom),
        searchFailsUntil_(searchFailsUntil) {}

  // Counts a call that can fail; true when it is the one to fail.
  bool fails(FaultKind kind);
  void throwIfFails(FaultKind kind, const char* call);
  // A window query fails because the window has just been destroyed.
  WindowHandle vanishesIfFails(WindowHandle window);

  std::wstring commandLine() override { return desktop_.commandLine(); }
  std::wstring programPath() override { return desktop_.programPath(); }
  std::optional<double> parseNumber(const std::wstring& text) override {
    return desktop_.parseNumber(text);
  }
  std::wstring upperCase(const std::wstring& text) override {
    throwIfSearchFails("LCMapStringW");
    return desktop_.upperCase(text);
  }
  std::vector<WindowHandle> topLevelWindows() override;
  WindowHandle parentOrOwner(WindowHandle window) override {
    return desktop_.parentOrOwner(vanishesIfFails(window));
  }
  WindowHandle owner(WindowHandle window) override {
    return desktop_.owner(vanishesIfFails(window));
  }
  bool isVisible(WindowHandle window) override {
    return desktop_.isVisible(vanishesIfFails(window));
  }
  // The first owner read after a hold confirms it: the window must still belong to that process.
  ProcessId owningProcess(WindowHandle window) override {
    const bool confirmingHold = std::exchange(confirmingHold_, false);
    const ProcessId owner = desktop_.owningProcess(vanishesIfFails(window));
    if (confirmingHold && owner != heldProcess_) seen.holdRefused = true;
    return owner;
  }
  std::wstring windowText(WindowHandle window, std::size_t maxChars) override {
    return desktop_.windowText(vanishesIfFails(window), maxChars);
  }
  std::wstring className(WindowHandle window, std::size_t maxChars) override {
    return desktop_.className(vanishesIfFails(window), maxChars);
  }
  bool windowExists(WindowHandle window) override {
    return desktop_.windowExists(vanishesIfFails(window));
  }
  PostedMessage postClose(WindowHandle window) override {
    if (!seen.closeRequested) seen.closeRequested = desktop_.now();
    return desktop_.postClose(vanishesIfFails(window));
  }
  LaunchingConsole launchingConsole() override { return desktop_.launchingConsole(); }
  LaunchingProcess launchingProcess() override { return desktop_.launchingProcess(); }
  OwnSession ownSession() override { return desktop_.ownSession(); }
  // The forced end begins by asking whether the process may be ended at all: for a title, whether
  // it is the shell's; for any target, whether it is this program's own.
  ProcessId shellProcess() override {
    forcedEndReached();
    return desktop_.shellProcess();
  }
  std::wstring processImagePath(ProcessId process) override {
    return desktop_.processImagePath(process);
  }
  ProcessId currentProcessId() override {
    forcedEndReached();
    return desktop_.currentProcessId();
  }
  Result<std::unique_ptr<HeldProcess>> holdProcess(ProcessId process) override {
    auto held = fails(FaultKind::Truthful)
                    ? Result<std::unique_ptr<HeldProcess>>{nullptr, InjectedSystemError}
                    : desktop_.holdProcess(process);
    seen.holdRefused = held.value == nullptr;
    confirmingHold_ = true;
    heldProcess_ = process;
    return held;
  }
  Result<std::unique_ptr<OpenedProcess>> openProcess(ProcessId process) override;
  Ticks monotonicTime() override { return desktop_.monotonicTime(); }
  CreatedEvent createEvent() override;
  bool waitForInput(std::uint32_t milliseconds) override;
  bool messageWaiting() override { return desktop_.messageWaiting(); }
  void dispatchAllMessages() override { desktop_.dispatchAllMessages(); }
  std::unique_ptr<HostAutomation> createObject(const std::wstring& progId) override;
  void trace(const std::string& line) override { desktop_.trace(line); }

  void observeTermination(ProcessId process, std::uint32_t exitCode);
  Observations seen;

 private:
  void forcedEndReached() {
    if (!seen.forcedEndBegun) seen.forcedEndBegun = desktop_.now();
  }
  void throwIfSearchFails(const char* call);

  sim::SimDesktop& desktop_;
  std::uint32_t failingCall_;
  Ticks searchFailsFrom_;
  Ticks searchFailsUntil_;
  std::vector<sim::SimWindow> lastWalk_;
  std::vector<sim::SimWindow> walkBefore_;
  bool confirmingHold_ = false;
  ProcessId heldProcess_ = 0;
};

}  // namespace halvik::property
