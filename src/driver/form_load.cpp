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
      runEscalation();
    }
  }

  if (!run.VariableName.empty()) reportOutcome();
  run.HostObject.reset();
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

}  // namespace halvik
