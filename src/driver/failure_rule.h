#pragma once

#include "platform/failure.h"

namespace halvik {

// The run's one failure rule: a step that fails is abandoned where it stands (whatever it was to
// set keeps its value) and the run goes on with the next step. Nothing is shown or logged: the
// host variable is the program's only report.
template <typename Step>
void passOver(Step&& step) {
  try {
    step();
  } catch (const Failure&) {
    // Passed over by design.
  }
}

// The same rule for the test of a conditional step: a test that fails counts as passed, so the
// run goes on with the conditional's "then" branch.
template <typename Test>
bool passOverTest(Test&& test) {
  try {
    return test();
  } catch (const Failure&) {
    return true;
  }
}

}  // namespace halvik
