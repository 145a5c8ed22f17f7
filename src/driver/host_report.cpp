#include "driver/failure_rule.h"
#include "driver/halvik_form.h"

namespace halvik {
namespace {

const wchar_t* const HostProgId = L"homeseer.application";
const wchar_t* const NameNotFound = L"Name not found";
constexpr std::uint32_t ObjectRequiredError = 0x800A01A8;
const std::string Done = "done";

// One host call under the failure rule, written to the trace with what it answered or with its
// failure.
template <typename Call>
void callHost(RunTrace& trace, const std::string& call, Call&& makeCall) {
  passOver([&] { trace.hostCall(call, makeCall()); },
           [&](const Failure& failure) { trace.hostCallFailed(call, failure); });
}

}  // namespace

// Report point A: the start marker (or -3), written before anything checks that the variable
// exists. Writing to a variable that does not exist yet fails and is passed over; the final
// report creates it.
void HalvikForm::reportStart() {
  callHost(trace_, hostCallText("CreateObject", HostProgId), [&] {
    run_.HostObject = platform_.createObject(HostProgId);
    return Done;
  });
  saveOutcome();
}

// Report point B: the final outcome, creating the variable when the host does not know it, or
// cannot tell.
void HalvikForm::reportOutcome() {
  bool variableMissing = true;
  callHost(trace_, hostCallText("GetVar", run_.VariableName), [&] {
    const auto answer = host().GetVar(run_.VariableName);
    variableMissing = answer.has_value() && *answer == NameNotFound;
    return answer ? traceQuoted(*answer) : "no text";
  });
  if (variableMissing) {
    callHost(trace_, hostCallText("CreateVar", run_.VariableName), [&] {
      host().CreateVar(run_.VariableName);
      return Done;
    });
  }
  saveOutcome();
}

void HalvikForm::saveOutcome() {
  callHost(trace_, hostCallText("SaveVar", run_.VariableName, run_.Outcome), [&] {
    host().SaveVar(run_.VariableName, run_.Outcome);
    return Done;
  });
}

HostAutomation& HalvikForm::host() {
  if (!run_.HostObject) throw Failure(ObjectRequiredError, "HalvikForm", "Object required");
  return *run_.HostObject;
}

}  // namespace halvik
