#include "driver/argument_text.h"
#include "driver/failure_rule.h"
#include "driver/halvik_form.h"
#include "driver/process_id_target.h"

namespace halvik {

void HalvikForm::Form_Load() {
  RunState& run = state_;

  const auto arguments = splitArgumentText(argumentText(platform_.commandLine()));
  run.Target = arguments.Target;
  run.VariableName = arguments.VariableName;

  run.Outcome = run.Target.empty() ? OutcomeNoTarget : OutcomeStarted;
  if (!run.VariableName.empty()) reportStart();

  if (run.Outcome == OutcomeStarted) {
    resolveTarget();
    if (run.TargetWindow == 0) {
      run.Outcome = OutcomeNotFound;
    } else {
      holdTargetProcess();
      runEscalation();
    }
  }

  if (!run.VariableName.empty()) reportOutcome();
  run.HostObject.reset();
  run.TargetHold.reset();
}

void HalvikForm::resolveTarget() {
  RunState& run = state_;
  if (isNumericTarget(platform_, run.Target)) {
    // A number outside the 32-bit range fails both conversions: window and process stay 0, and
    // the title read from window 0 is empty.
    passOver([&] { run.TargetWindow = InstanceToWnd(toProcessId(platform_, run.Target)); });
    passOver([&] { run.TargetProcess = toProcessId(platform_, run.Target); });
    run.TargetTitle = fWindowText(run.TargetWindow);
  } else {
    run.TargetTitle = run.Target;
    passOver([&] {
      std::wstring unusedClass;
      run.TargetWindow = fEnumWindows(run.TargetTitle, unusedClass);
    });
    run.TargetProcess = platform_.owningProcess(run.TargetWindow);
  }
}

// The forced end comes some 50 seconds after the target was resolved, by process ID alone. A
// hold keeps the system from giving that ID to a new process meanwhile. The hold is taken after
// the window search, so it counts only if the target window still belongs to the process held:
// otherwise the process may have ended and its ID passed on in between. A hold that cannot be
// taken or confirmed (the process has ended, or access is denied) leaves the run without one,
// and then nothing is ended: the ID can no longer be trusted to name the target. Nothing else
// changes: the hold asks for less access than the forced end, so a process that cannot be held
// could not have been ended anyway, unless it is already gone.
void HalvikForm::holdTargetProcess() {
  RunState& run = state_;
  run.TargetHold = platform_.holdProcess(run.TargetProcess);
  if (platform_.owningProcess(run.TargetWindow) != run.TargetProcess) run.TargetHold.reset();
}

}  // namespace halvik
