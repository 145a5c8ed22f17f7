#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "driver/failure_rule.h"
#include "driver/run_state.h"
#include "driver/run_trace.h"
#include "platform/platform.h"
#include "wait/c_wait_n_dispatch.h"
#include "window_ops/window_ops.h"

namespace halvik {

// The program's one window object. It is never shown: creating it runs Form_Load, which does the
// whole job. The operations below are the run's vocabulary; each calls into its own floor. Those
// named after the program's design keep its names, mixed styles on purpose (README, Layout).
class HalvikForm {
 public:
  explicit HalvikForm(Platform& platform) : platform_(platform), trace_(platform) {}

  // Splits the argument text, resolves the target, runs the escalation and reports to the host.
  void Form_Load();
  const RunState& runState() const { return run_; }

  WindowHandle fEnumWindows(const std::wstring& DesiredWindow, std::wstring& windowClass) {
    return findTitledWindow(platform_, DesiredWindow, windowClass);
  }
  WindowHandle InstanceToWnd(ProcessId target_pid) {
    return firstWindowOfProcess(platform_, target_pid);
  }
  CloseRequest fCloseApp(const WindowHandle& hwnd) { return requestClose(platform_, hwnd); }
  ForcedEnd Kill(ProcessId lProcessID) { return endProcess(platform_, lProcessID); }
  std::int16_t waitForNoWindow(const std::wstring& Title) {
    return pollUntilTitleGone(platform_, timer, Title,
                              [this](const PollRound& round) { trace_.pollRound(round); });
  }

 private:
  std::wstring fWindowText(WindowHandle window) { return windowTitle(platform_, window); }

  void resolveTarget(const std::optional<double>& number);
  void holdTargetProcess();
  void runEscalation();
  ForcedEnd attemptForcedEnd();
  void reportStart();
  void reportOutcome();
  // Writes Outcome into the variable.
  void saveOutcome();
  HostAutomation& host();

  // The failure rule (failure_rule.h), with each failure passed over written to the trace.
  template <typename Step>
  void runStep(Step&& step) {
    passOver(step, [this](const Failure& failure) { trace_.passedOver(failure); });
  }
  template <typename Test>
  bool runTest(Test&& test) {
    return passOverTest(test, [this](const Failure& failure) { trace_.passedOver(failure); });
  }

  // One host call under the failure rule, written to the trace as made or with its failure.
  template <typename Call>
  void callHost(const std::string& call, Call&& makeCall) {
    if (passOver(makeCall, [&](const Failure& failure) { trace_.hostCallFailed(call, failure); })) {
      trace_.hostCall(call);
    }
  }

  Platform& platform_;
  RunState run_;
  RunTrace trace_;
  // The wait of the poll under way. Nothing here handles its OnTimer event.
  std::unique_ptr<CWaitNDispatch> timer;
};

}  // namespace halvik
