#include "driver/failure_rule.h"
#include "driver/halvik_form.h"

namespace halvik {

// Close request and grace period; then, only while the title remains and the process still owns
// a window, the forced end and a second grace period.
void HalvikForm::runEscalation() {
  trace_.closeRequest(run_.TargetWindow, fCloseApp(run_.TargetWindow));
  if (titleGoneWithinGracePeriod()) {
    run_.Outcome = OutcomeClosed;
    return;
  }
  // A handle with its top bit set counts as no window, as in every "greater than 0" below. A
  // search that fails counts as "no window": the process is then left alone.
  if (passOverTest([&] { return traceProcessWindow() <= 0; })) {
    run_.Outcome = OutcomeProcessWindowGone;
    return;
  }

  // The forced end's result is not needed: the poll tells.
  trace_.forcedEnd(run_.TargetProcess, attemptForcedEnd());
  if (titleGoneWithinGracePeriod()) {
    run_.Outcome = OutcomeKilled;
    return;
  }
  // A search that fails counts as "still a window": the forced end is not claimed to have worked.
  run_.Outcome = passOverTest([&] { return traceProcessWindow() > 0; }) ? OutcomeKillFailed
                                                                        : OutcomeKilledTitleRemains;
}

// Without a hold the ID may name another process by now, which is never ended.
ForcedEnd HalvikForm::attemptForcedEnd() {
  if (!run_.TargetHold) return ForcedEnd::refusedBy("process not held");
  const char* rule = sparingRule(platform_, run_.TargetProcess, run_.NamedBy);
  return rule ? ForcedEnd::refusedBy(rule) : Kill(run_.TargetProcess);
}

// The process's first window, as InstanceToWnd finds it, written to the trace.
WindowHandle HalvikForm::traceProcessWindow() {
  return trace_.processWindow(run_.TargetProcess, InstanceToWnd(run_.TargetProcess));
}

bool HalvikForm::titleGoneWithinGracePeriod() {
  // A poll that fails (its wait could not be made to wait) tells nothing, so the title counts as
  // still present: the run goes on to the next stage rather than claiming the window closed.
  std::int16_t gone = 0;
  passOver([&] { gone = waitForNoWindow(run_.TargetTitle); });
  return gone == 1;
}

}  // namespace halvik
