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
  passOver([&] { run_.HostObject = platform_.createObject(HostProgId); });
  passOver([&] { host().SaveVar(run_.VariableName, run_.Outcome); });
}

// Report point B: the final outcome, creating the variable when the host does not know it.
void HalvikForm::reportOutcome() {
  const bool variableMissing = passOverTest([&] {
    const auto answer = host().GetVar(run_.VariableName);
    return answer.has_value() && *answer == NameNotFound;
  });
  if (variableMissing) passOver([&] { host().CreateVar(run_.VariableName); });
  passOver([&] { host().SaveVar(run_.VariableName, run_.Outcome); });
}

HostAutomation& HalvikForm::host() {
  if (!run_.HostObject) throw Failure(ObjectRequiredError, "HalvikForm", "Object required");
  return *run_.HostObject;
}

}  // namespace halvik
