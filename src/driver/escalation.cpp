#include "driver/failure_rule.h"
#include "driver/halvik_form.h"

namespace halvik {

// Close request and grace period; then, only while the title remains and the process still owns
// a window, the forced end and a second grace period. Only a forced end that the system accepted
// is claimed: after one that was refused, skipped or failed, the second grace period tells what
// the application did by itself, read as for a process that was not ended. A poll passes over its
// own failures: a search that fails counts as the title present, and a round whose wait cannot be
// made is waited out all the same.
void HalvikForm::runEscalation() {
  // The process's first window, as InstanceToWnd finds it, traced beside the search.
  const auto processWindow = [&] {
    const WindowHandle window = InstanceToWnd(run_.TargetProcess);
    trace_.processWindow(run_.TargetProcess, window);
    return window;
  };
  const CloseRequest request = fCloseApp(run_.TargetWindow);
  trace_.closeRequest(run_.TargetWindow, request);
  if (waitForNoWindow(run_.TargetTitle) == 1) {
    run_.Outcome = OutcomeClosed;
    return;
  }
  // A handle with its top bit set counts as no window, as in the "greater than 0" below. A search
  // that fails counts as "no window": the process is then left alone.
  if (runTest([&] { return processWindow() <= 0; })) {
    run_.Outcome = OutcomeProcessWindowGone;
    return;
  }

  const ForcedEnd end = attemptForcedEnd();
  trace_.forcedEnd(run_.TargetProcess, end);
  if (waitForNoWindow(run_.TargetTitle) == 1) {
    run_.Outcome = end.accepted() ? OutcomeKilled : OutcomeClosed;
    return;
  }
  // A search that fails counts as "still a window": the forced end is not claimed to have worked.
  if (runTest([&] { return processWindow() > 0; })) {
    run_.Outcome = OutcomeKillFailed;
  } else {
    run_.Outcome = end.accepted() ? OutcomeKilledTitleRemains : OutcomeProcessWindowGone;
  }
}

// Without a hold the ID may name another process by now, which is never ended.
ForcedEnd HalvikForm::attemptForcedEnd() {
  if (!run_.TargetHold) return ForcedEnd::refusedBy("process not held");
  const char* spared = sparingRule(platform_, run_.TargetProcess, run_.NamedBy);
  return spared ? ForcedEnd::refusedBy(spared) : Kill(run_.TargetProcess);
}

}  // namespace halvik
