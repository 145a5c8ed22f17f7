#include "driver/failure_rule.h"
#include "driver/halvik_form.h"

namespace halvik {

// Close request and grace period; then, only while the title remains and the process still owns
// a window, the forced end and a second grace period. Only a forced end that the system accepted
// is claimed: after one that was refused, skipped or failed, the second grace period tells what
// the application did by itself, read as for a process that was not ended.
void HalvikForm::runEscalation() {
  fCloseApp(run_.TargetWindow);
  if (titleGoneWithinGracePeriod()) {
    run_.Outcome = OutcomeClosed;
    return;
  }
  // A handle with its top bit set counts as no window, as in the "greater than 0" below. A search
  // that fails counts as "no window": the process is then left alone.
  if (passOverTest([&] { return InstanceToWnd(run_.TargetProcess) <= 0; })) {
    run_.Outcome = OutcomeProcessWindowGone;
    return;
  }

  // Without a hold the ID may name another process by now, which is never ended.
  const bool ended = run_.TargetHold &&
                     mayEndProcess(platform_, run_.TargetProcess, run_.NamedBy) &&
                     Kill(run_.TargetProcess);
  if (titleGoneWithinGracePeriod()) {
    run_.Outcome = ended ? OutcomeKilled : OutcomeClosed;
    return;
  }
  // A search that fails counts as "still a window": the forced end is not claimed to have worked.
  if (passOverTest([&] { return InstanceToWnd(run_.TargetProcess) > 0; })) {
    run_.Outcome = OutcomeKillFailed;
  } else {
    run_.Outcome = ended ? OutcomeKilledTitleRemains : OutcomeProcessWindowGone;
  }
}

bool HalvikForm::titleGoneWithinGracePeriod() {
  // A poll that fails (its wait could not be made to wait) tells nothing, so the title counts as
  // still present: the run goes on to the next stage rather than claiming the window closed.
  std::int16_t gone = 0;
  passOver([&] { gone = waitForNoWindow(run_.TargetTitle); });
  return gone == 1;
}

}  // namespace halvik
