#include <gtest/gtest.h>

#include "sim/run_halvik.h"

namespace halvik {
namespace {

using sim::runHalvik;
using sim::SimDesktop;

using Calls = std::vector<std::wstring>;

class HostReport : public ::testing::Test {
 protected:
  HostReport() {
    const auto clock = desktop.addWindow(L"Clock", 100);
    desktop.quitsOnClose(clock);
  }

  SimDesktop desktop;
};

TEST_F(HostReport, ExistingVariableGetsTheStartMarkerThenTheOutcome) {
  desktop.host.variables.insert(L"State");
  runHalvik(desktop, L"Clock|State");
  EXPECT_EQ(desktop.host.calls, (Calls{L"create homeseer.application", L"SaveVar State 0",
                                       L"GetVar State", L"SaveVar State 1"}));
}

TEST_F(HostReport, MissingVariableIsCreatedAndGetsTheOutcome) {
  const auto run = runHalvik(desktop, L"Clock|State");
  EXPECT_EQ(desktop.host.calls, (Calls{L"create homeseer.application", L"failed SaveVar State",
                                       L"GetVar State", L"CreateVar State", L"SaveVar State 1"}));
  EXPECT_EQ(run.hostObjectsAlive, 0);  // released by the run itself
}

TEST_F(HostReport, NoTargetIsReportedTwice) {
  desktop.host.variables.insert(L"Status");
  EXPECT_EQ(runHalvik(desktop, L" |Status").outcome, OutcomeNoTarget);
  EXPECT_EQ(desktop.host.savedValues(L"Status"), (std::vector<std::int16_t>{-3, -3}));
}

TEST_F(HostReport, NotFoundIsReportedAfterTheStartMarker) {
  desktop.host.variables.insert(L"State");
  runHalvik(desktop, L"Calendar|State");
  EXPECT_EQ(desktop.host.savedValues(L"State"), (std::vector<std::int16_t>{0, -1}));
}

TEST_F(HostReport, WithoutVariableTheHostIsNeverCreated) {
  runHalvik(desktop, L"Clock|");
  runHalvik(desktop, L"Clock");
  runHalvik(desktop, L"|");
  EXPECT_TRUE(desktop.host.calls.empty());
}

TEST_F(HostReport, OnlyTheExactTextAnswerCreatesTheVariable) {
  desktop.host.variables.insert(L"State");
  for (const std::optional<std::wstring>& answer :
       {std::optional<std::wstring>(L"name not found"),
        std::optional<std::wstring>(L"Name not found "), std::optional<std::wstring>(L""),
        std::optional<std::wstring>()}) {
    desktop.host.calls.clear();
    desktop.host.getVarAnswer = [&](const std::wstring&) { return answer; };
    runHalvik(desktop, L"Calendar|State");
    EXPECT_EQ(desktop.host.calls, (Calls{L"create homeseer.application", L"SaveVar State 0",
                                         L"GetVar State", L"SaveVar State -1"}));
  }
}

TEST_F(HostReport, AbsentHostChangesNothingOfTheShutdown) {
  desktop.host.installed = false;
  const auto run = runHalvik(desktop, L"Clock|State");
  EXPECT_EQ(run.outcome, OutcomeClosed);
  EXPECT_EQ(desktop.now(), sim::seconds(1));
  EXPECT_EQ(desktop.host.calls, Calls{L"create homeseer.application"});
}

TEST_F(HostReport, FailingGetVarCountsAsMissingVariable) {
  desktop.host.variables.insert(L"State");
  desktop.host.failingCalls = {L"GetVar"};
  runHalvik(desktop, L"Clock|State");
  EXPECT_EQ(desktop.host.calls,
            (Calls{L"create homeseer.application", L"SaveVar State 0", L"failed GetVar State",
                   L"CreateVar State", L"SaveVar State 1"}));
}

TEST_F(HostReport, EveryFailingCallIsPassedOver) {
  desktop.host.variables.insert(L"State");
  desktop.host.failingCalls = {L"SaveVar", L"GetVar", L"CreateVar"};
  const auto run = runHalvik(desktop, L"Clock|State");
  EXPECT_EQ(run.outcome, OutcomeClosed);
  EXPECT_EQ(desktop.host.calls,
            (Calls{L"create homeseer.application", L"failed SaveVar State", L"failed GetVar State",
                   L"failed CreateVar State", L"failed SaveVar State"}));
  EXPECT_EQ(run.hostObjectsAlive, 0);
}

}  // namespace
}  // namespace halvik
