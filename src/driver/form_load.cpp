#include "driver/argument_text.h"
#include "driver/failure_rule.h"
#include "driver/halvik_form.h"
#include "driver/process_id_target.h"

namespace halvik {

void HalvikForm::Form_Load() {
  const auto arguments =
      splitArgumentText(argumentText(platform_.commandLine(), platform_.programPath()));
  run_.Target = arguments.Target;
  run_.VariableName = arguments.VariableName;
  trace_.arguments(arguments);
  trace_.launcher(platform_.launchingProcess());
  trace_.session(platform_.ownSession());

  run_.Outcome = run_.Target.empty() ? OutcomeNoTarget : OutcomeStarted;
  // Read before a host can be loaded into this process: the system's number parser may wait for
  // the loader lock, which a host stuck as it loads holds for good.
  const std::optional<double> number = platform_.parseNumber(run_.Target);
  if (!run_.VariableName.empty()) reportStart();

  if (run_.Outcome == OutcomeStarted) {
    resolveTarget(number);
    trace_.target(run_);
    if (run_.TargetWindow == 0) {
      run_.Outcome = OutcomeNotFound;
    } else {
      holdTargetProcess();
      runEscalation();
    }
  }

  trace_.outcome(run_.Outcome);
  if (!run_.VariableName.empty()) reportOutcome();
  run_.HostObject.reset();
  run_.TargetHold.reset();
}

// A number names a process, whose main window is the target; anything else is a piece of a title.
void HalvikForm::resolveTarget(const std::optional<double>& number) {
  if (number) {
    run_.NamedBy = TargetNaming::ByProcessId;
    // A number outside the 32-bit range fails the conversion: process and window stay 0, and the
    // title read from window 0 is empty.
    runStep([&] { run_.TargetProcess = toProcessId(*number); });
    runStep([&] { run_.TargetWindow = mainWindowOfProcess(platform_, run_.TargetProcess); });
    run_.TargetTitle = fWindowText(run_.TargetWindow);
  } else {
    run_.TargetTitle = run_.Target;
    runStep([&] {
      std::wstring unusedClass;
      run_.TargetWindow = fEnumWindows(run_.TargetTitle, unusedClass);
    });
    run_.TargetProcess = platform_.owningProcess(run_.TargetWindow);
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
  run_.TargetHold = platform_.holdProcess(run_.TargetProcess).value;
  if (!run_.TargetHold) {
    trace_.holdNotTaken(run_);
  } else if (platform_.owningProcess(run_.TargetWindow) != run_.TargetProcess) {
    run_.TargetHold.reset();
    trace_.holdGivenUp(run_);
  } else {
    trace_.held(run_);
  }
}

}  // namespace halvik
