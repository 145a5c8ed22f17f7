#include "driver/failure_rule.h"
#include "driver/halvik_form.h"

namespace halvik {
namespace {

const wchar_t* const HostProgId = L"homeseer.application";
const wchar_t* const NameNotFound = L"Name not found";
constexpr std::uint32_t ObjectRequiredError = 0x800A01A8;

}  // namespace

// Report point A: the start marker (or -3), written before anything checks that the variable
// exists. Writing to a variable that does not exist yet fails and is passed over; the final
// report creates it.
void HalvikForm::reportStart() {
  callHost(hostCallText("CreateObject", HostProgId),
           [&] { run_.HostObject = platform_.createObject(HostProgId); });
  saveOutcome();
}

// Report point B: the final outcome, creating the variable when the host does not know it, or
// cannot tell: a GetVar that fails is a test that fails, which counts as passed.
void HalvikForm::reportOutcome() {
  const std::string getVar = hostCallText("GetVar", run_.VariableName);
  const auto variableMissing = [&] {
    const auto answer = host().GetVar(run_.VariableName);
    trace_.hostAnswer(getVar, answer);
    return answer == NameNotFound;
  };
  if (passOverTest(variableMissing,
                   [&](const Failure& failure) { trace_.hostCallFailed(getVar, failure); })) {
    callHost(hostCallText("CreateVar", run_.VariableName),
             [&] { host().CreateVar(run_.VariableName); });
  }
  saveOutcome();
}

void HalvikForm::saveOutcome() {
  callHost(hostCallText("SaveVar", run_.VariableName, run_.Outcome),
           [&] { host().SaveVar(run_.VariableName, run_.Outcome); });
}

HostAutomation& HalvikForm::host() {
  if (!run_.HostObject) throw Failure(ObjectRequiredError, "HalvikForm", "Object required");
  return *run_.HostObject;
}

}  // namespace halvik
