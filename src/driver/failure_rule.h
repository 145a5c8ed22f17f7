#pragma once

#include "platform/failure.h"

namespace halvik {

// The run's one failure rule: a step that fails is abandoned where it stands (whatever it was to
// set keeps its value) and the run goes on with the next step. Nothing is shown: the host variable
// is the program's only report. The failure goes to passedOver, which writes it to the run's trace.
// True when the step was made.
template <typename Step, typename PassedOver>
bool passOver(Step&& step, PassedOver&& passedOver) {
  try {
    step();
    return true;
  } catch (const Failure& failure) {
    passedOver(failure);
    return false;
  }
}

// The same rule for the test of a conditional step: a test that fails counts as passed, so the
// run goes on with the conditional's "then" branch.
template <typename Test, typename PassedOver>
bool passOverTest(Test&& test, PassedOver&& passedOver) {
  try {
    return test();
  } catch (const Failure& failure) {
    passedOver(failure);
    return true;
  }
}

}  // namespace halvik
