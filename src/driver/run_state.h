#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "window_ops/window_ops.h"

namespace halvik {

// Every run ends in exactly one of these codes; OutcomeStarted is only a start marker.
enum OutcomeCode : std::int16_t {
  OutcomeNoTarget = -3,           // the target text was empty
  OutcomeKillFailed = -2,         // told to end, yet the title and a window of the process remain
  OutcomeNotFound = -1,           // no window was found for the target
  OutcomeStarted = 0,             // the run has begun
  OutcomeClosed = 1,              // the window went away after the close request
  OutcomeKilled = 2,              // the process was ended and the window went away
  OutcomeProcessWindowGone = 3,   // the title remains, but not in a window of the process
  OutcomeKilledTitleRemains = 4,  // ended; the title remains, but not in a window of the process
};

// The working values of one run.
struct RunState {
  std::wstring Target;
  std::wstring VariableName;  // empty: nothing is reported to the host
  std::int16_t Outcome = OutcomeStarted;
  std::unique_ptr<HostAutomation> HostObject;
  TargetNaming NamedBy = TargetNaming::ByTitle;
  WindowHandle TargetWindow = 0;
  ProcessId TargetProcess = 0;
  // While held, TargetProcess cannot become the ID of another process. Null: the run never ends
  // the process, as its ID may by then name another.
  std::unique_ptr<HeldProcess> TargetHold;
  std::wstring TargetTitle;  // the text by which later checks recognise the target's window
};

}  // namespace halvik
