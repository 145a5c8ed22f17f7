#include <gtest/gtest.h>

#include <functional>

#include "sim/run_halvik.h"

namespace halvik {
namespace {

using sim::milliseconds;
using sim::runHalvik;
using sim::seconds;
using sim::SimDesktop;
using sim::Termination;

constexpr ProcessId Editor = 100;
constexpr ProcessId Other = 200;

// An editor whose main window is titled "Report.txt - Editor", and a host variable "State".
class Escalation : public ::testing::Test {
 protected:
  Escalation() {
    editorWindow = desktop.addWindow(L"Report.txt - Editor", Editor);
    desktop.host.variables.insert(L"State");
  }

  std::int16_t run(const std::wstring& argumentText = L"Report.txt - Editor|State") {
    return runHalvik(desktop, argumentText).outcome;
  }
  std::vector<std::int16_t> reported() const { return desktop.host.savedValues(L"State"); }

  SimDesktop desktop;
  WindowHandle editorWindow;
};

TEST_F(Escalation, PromptCloseIsSeenAfterTheFirstFullSecond) {
  desktop.quitsOnClose(editorWindow, milliseconds(300));
  EXPECT_EQ(run(), OutcomeClosed);
  EXPECT_EQ(desktop.now(), seconds(1));
  EXPECT_EQ(desktop.closeRequests, std::vector<WindowHandle>{editorWindow});
  EXPECT_TRUE(desktop.terminations.empty());
  EXPECT_EQ(reported(), (std::vector<std::int16_t>{0, 1}));
}

TEST_F(Escalation, WindowGoneAtOnceIsStillSeenOnlyAfterTheFirstFullSecond) {
  desktop.window(editorWindow).onClose = [&] { desktop.destroyWindow(editorWindow); };
  EXPECT_EQ(run(), OutcomeClosed);
  EXPECT_EQ(desktop.now(), seconds(1));
}

TEST_F(Escalation, SlowCloseWithinTheGracePeriodIsStillAClose) {
  desktop.quitsOnClose(editorWindow, milliseconds(49500));
  EXPECT_EQ(run(), OutcomeClosed);
  EXPECT_EQ(desktop.now(), seconds(50));
}

TEST_F(Escalation, IgnoredCloseRequestEndsInAForcedEnd) {
  desktop.process(Editor).endDelay = milliseconds(200);
  EXPECT_EQ(run(), OutcomeKilled);
  EXPECT_EQ(desktop.now(), seconds(51));
  EXPECT_EQ(desktop.terminations, (std::vector<Termination>{{Editor, 259}}));
  EXPECT_EQ(reported(), (std::vector<std::int16_t>{0, 2}));
}

TEST_F(Escalation, UnansweredSaveQuestionEndsInAForcedEnd) {
  desktop.asksToSaveOnClose(editorWindow);
  EXPECT_EQ(run(), OutcomeKilled);
  EXPECT_EQ(desktop.now(), seconds(51));
  EXPECT_EQ(desktop.terminations.size(), 1u);
}

TEST_F(Escalation, TitleKeptByAnotherProcessAfterTheTargetClosed) {
  desktop.addWindow(L"Report.txt - Editor (read-only copy)", Other);
  desktop.quitsOnClose(editorWindow);
  EXPECT_EQ(run(), OutcomeProcessWindowGone);
  EXPECT_EQ(desktop.now(), seconds(50));
  EXPECT_TRUE(desktop.terminations.empty());
  EXPECT_EQ(reported(), (std::vector<std::int16_t>{0, 3}));
}

TEST_F(Escalation, TitleKeptByAnotherProcessAfterTheTargetWasEnded) {
  desktop.addWindow(L"Report.txt - Editor (read-only copy)", Other);
  EXPECT_EQ(run(), OutcomeKilledTitleRemains);
  EXPECT_EQ(desktop.now(), seconds(100));
  EXPECT_EQ(desktop.terminations, (std::vector<Termination>{{Editor, 259}}));
  EXPECT_EQ(reported(), (std::vector<std::int16_t>{0, 4}));
}

TEST_F(Escalation, ProcessThatCannotBeOpenedIsReportedAsKillFailed) {
  desktop.process(Editor).canOpen = false;
  EXPECT_EQ(run(), OutcomeKillFailed);
  EXPECT_EQ(desktop.now(), seconds(100));
  EXPECT_TRUE(desktop.terminations.empty());
  EXPECT_EQ(reported(), (std::vector<std::int16_t>{0, -2}));
}

TEST_F(Escalation, WindowThatOutlivesItsEndedProcessIsReportedAsKillFailed) {
  desktop.process(Editor).windowsOutliveProcess = true;
  EXPECT_EQ(run(), OutcomeKillFailed);
  EXPECT_EQ(desktop.now(), seconds(100));
  EXPECT_EQ(desktop.terminations, (std::vector<Termination>{{Editor, 259}}));
}

// Only a forced end the system accepted is claimed: what follows one that was not reads as for a
// process left alone.
TEST_F(Escalation, WithoutAnAcceptedForcedEndTheOutcomeTellsWhatTheApplicationDid) {
  desktop.process(Editor).canOpen = false;
  desktop.at(seconds(60), [&] { desktop.destroyWindow(editorWindow); });
  desktop.addWindow(L"Report.txt - Editor (read-only copy)", Other);
  EXPECT_EQ(run(), OutcomeProcessWindowGone);  // not OutcomeKilledTitleRemains
  EXPECT_EQ(desktop.now(), seconds(100));
}

TEST_F(Escalation, RefusedTerminationIsReportedAsKillFailed) {
  desktop.process(Editor).acceptsTermination = false;
  EXPECT_EQ(run(), OutcomeKillFailed);
  EXPECT_EQ(desktop.terminations.size(), 1u);
}

TEST_F(Escalation, EmptyTitleFromAProcessIdIsNeverSeenGone) {
  desktop.window(editorWindow).title = L"";
  desktop.addWindow(L"Clock", Other);
  EXPECT_EQ(run(L"100|State"), OutcomeKilledTitleRemains);
  EXPECT_EQ(desktop.now(), seconds(100));
  EXPECT_EQ(desktop.terminations.size(), 1u);
}

TEST_F(Escalation, EmptyTitleOfAProcessThatClosesEndsWithoutForce) {
  desktop.window(editorWindow).title = L"";
  desktop.addWindow(L"Clock", Other);
  desktop.quitsOnClose(editorWindow);
  EXPECT_EQ(run(L"100|State"), OutcomeProcessWindowGone);
  EXPECT_TRUE(desktop.terminations.empty());
}

// The untitled target quits; a new process with a window starts while the run waits. Its ID must
// not be the target's, or it would be taken for the target and ended.
TEST_F(Escalation, IdOfTheTargetIsHeldUntilTheRunEnds) {
  desktop.window(editorWindow).title = L"";
  desktop.addWindow(L"Clock", Other);
  desktop.quitsOnClose(editorWindow);
  ProcessId newcomer = 0;
  desktop.at(seconds(10), [&] { desktop.addWindow(L"", newcomer = desktop.startProcess(Editor)); });
  EXPECT_EQ(run(L"100|State"), OutcomeProcessWindowGone);
  EXPECT_NE(newcomer, Editor);
  EXPECT_TRUE(desktop.terminations.empty());
  EXPECT_EQ(desktop.process(Editor).holds, 0);
}

// The target ends and its ID passes to a new process between the window search and the hold.
TEST_F(Escalation, ProcessIdReusedBeforeTheHoldIsNeverEnded) {
  desktop.beforeHold = [&] {
    desktop.endProcess(Editor, 0);
    desktop.addWindow(L"Report.txt - Editor", desktop.startProcess(Editor));
    desktop.beforeHold = nullptr;
  };
  EXPECT_EQ(run(), OutcomeKillFailed);
  EXPECT_TRUE(desktop.terminations.empty());
}

TEST_F(Escalation, ProcessThatCannotBeHeldIsNeverEnded) {
  desktop.process(Editor).canHold = false;
  EXPECT_EQ(run(), OutcomeKillFailed);
  EXPECT_TRUE(desktop.terminations.empty());
}

TEST_F(Escalation, NeverEndsItsOwnProcess) {
  const auto ownWindow = desktop.addWindow(L"Halvik", desktop.ownProcessId);
  desktop.raiseToTop(ownWindow);
  EXPECT_EQ(run(std::to_wstring(desktop.ownProcessId) + L"|State"), OutcomeKillFailed);
  EXPECT_TRUE(desktop.terminations.empty());
  EXPECT_EQ(reported(), (std::vector<std::int16_t>{0, -2}));
}

TEST_F(Escalation, HandleWithTheTopBitSetCountsAsNoWindow) {
  desktop.destroyWindow(editorWindow);
  desktop.nextHandle = -0x7FFF0000;
  desktop.addWindow(L"Report.txt - Editor", Editor);
  EXPECT_EQ(run(), OutcomeProcessWindowGone);
  EXPECT_TRUE(desktop.terminations.empty());
}

TEST_F(Escalation, RoundsWhoseWaitCannotBeMadeAreStillWaitedOut) {
  desktop.createEventError = 1450;  // ERROR_NO_SYSTEM_RESOURCES
  bool messageHandled = false;
  desktop.messageArrivesAt(milliseconds(30500), [&] { messageHandled = true; });
  EXPECT_EQ(run(), OutcomeKilled);
  EXPECT_EQ(desktop.now(), seconds(51));
  EXPECT_TRUE(messageHandled);
  EXPECT_EQ(desktop.terminations.size(), 1u);
  EXPECT_EQ(desktop.eventsOpen(), 0);
}

TEST_F(Escalation, WindowWalkThatFailsNeverReadsAsClosed) {
  desktop.quitsOnClose(editorWindow, milliseconds(300));
  desktop.at(milliseconds(500), [&] { desktop.windowWalkFails = true; });
  EXPECT_EQ(run(), OutcomeProcessWindowGone);  // nothing can be known, so nothing is ended
  EXPECT_TRUE(desktop.terminations.empty());
  EXPECT_EQ(reported(), (std::vector<std::int16_t>{0, 3}));
}

TEST_F(Escalation, WindowWalkThatFailsAfterTheForcedEndIsReportedAsKillFailed) {
  desktop.addWindow(L"Report.txt - Editor (read-only copy)", Other);
  desktop.at(seconds(99) + milliseconds(500), [&] { desktop.windowWalkFails = true; });
  EXPECT_EQ(run(), OutcomeKillFailed);  // without the failure: OutcomeKilledTitleRemains
  EXPECT_EQ(desktop.terminations.size(), 1u);
  EXPECT_EQ(reported(), (std::vector<std::int16_t>{0, -2}));
}

TEST_F(Escalation, WindowWalkThatFailsFromTheStartFindsNothing) {
  desktop.windowWalkFails = true;
  EXPECT_EQ(run(), OutcomeNotFound);
  EXPECT_TRUE(desktop.closeRequests.empty());
}

TEST(ForcedEnd, LeavesProcessesThatCannotBeEndedAlone) {
  SimDesktop desktop;
  desktop.process(1).exitCode = 0;
  desktop.process(2).exitCode = 3;
  desktop.process(3).canOpen = false;
  desktop.process(5).exitCodeReadable = false;

  EXPECT_FALSE(endProcess(desktop, 1).accepted());  // ended with code 0: nothing is attempted
  // Already ended: attempted, and refused by the system.
  EXPECT_FALSE(endProcess(desktop, 2).accepted());
  EXPECT_FALSE(endProcess(desktop, 3).accepted());
  EXPECT_FALSE(endProcess(desktop, 4).accepted());  // no such process
  // No exit code to end it with: nothing is attempted.
  EXPECT_FALSE(endProcess(desktop, 5).accepted());
  EXPECT_FALSE(endProcess(desktop, desktop.ownProcessId).accepted());
  EXPECT_EQ(desktop.terminations, (std::vector<Termination>{{2, 3}}));
}

// Named by title, the shell and the frame host are spared: their windows are shown for others; so
// are Windows' own hosts, and the program that started Halvik (its dialog may be the target).
TEST(ForcedEnd, SparesCriticalProcessesAndForATitleTheShellWindowsHostsAndTheLauncher) {
  const auto outcome = [](const std::function<void(SimDesktop&)>& make, const wchar_t* target) {
    SimDesktop desktop;
    desktop.addWindow(L"Report.txt - Editor", Editor);
    make(desktop);
    return runHalvik(desktop, target).outcome;
  };
  const auto critical = [](SimDesktop& desktop) { desktop.process(Editor).critical = true; };
  const auto shell = [](SimDesktop& desktop) { desktop.shell = Editor; };
  const auto image = [](const wchar_t* path) {
    return [path](SimDesktop& desktop) { desktop.process(Editor).imagePath = path; };
  };
  const auto frameHost = image(LR"(C:\WINDOWS\system32\APPLICATIONFRAMEHOST.EXE)");
  EXPECT_EQ(outcome(critical, L"Report"), OutcomeKillFailed);
  EXPECT_EQ(outcome(critical, L"100"), OutcomeKillFailed);
  EXPECT_EQ(outcome(shell, L"Report"), OutcomeKillFailed);
  EXPECT_EQ(outcome(shell, L"100"), OutcomeKilled);
  EXPECT_EQ(outcome(frameHost, L"Report"), OutcomeKillFailed);
  EXPECT_EQ(outcome(frameHost, L"100"), OutcomeKilled);
  EXPECT_EQ(outcome(image(LR"(C:\Windows\explorer.exe)"), L"Report"), OutcomeKillFailed);
  EXPECT_EQ(outcome(image(LR"(C:\Windows\System32\dwm.exe)"), L"Report"), OutcomeKillFailed);
  EXPECT_EQ(outcome(image(L""), L"Report"), OutcomeKillFailed);  // a program that cannot be told
  EXPECT_EQ(outcome(image(L""), L"100"), OutcomeKilled);
  for (const wchar_t* host :
       {L"taskhostw.exe", L"taskhostex.exe", L"taskhost.exe", L"ctfmon.exe", L"RuntimeBroker.exe",
        L"TabTip.exe", L"svchost.exe", L"conhost.exe", L"OpenConsole.exe"}) {
    const std::wstring path = LR"(C:\Windows\System32\)" + std::wstring(host);
    EXPECT_EQ(outcome(image(path.c_str()), L"Report"), OutcomeKillFailed) << path;
  }
  const auto launcher = [](SimDesktop& desktop) { desktop.launcher = {Editor, 0}; };
  EXPECT_EQ(outcome(launcher, L"Report"), OutcomeKillFailed);
  EXPECT_EQ(outcome(launcher, L"100"), OutcomeKilled);
  const auto spareThenQuit = [&](SimDesktop& desktop) {
    frameHost(desktop);
    desktop.at(seconds(60), [&desktop] { desktop.endProcess(Editor, 0); });
  };
  EXPECT_EQ(outcome(spareThenQuit, L"Report"), OutcomeClosed);  // by itself, not by force
}

TEST(CloseRequest, IsPostedOnlyToAWindow) {
  SimDesktop desktop;
  const auto window = desktop.addWindow(L"Clock", 1);
  EXPECT_FALSE(requestClose(desktop, 0).stillExists);
  EXPECT_TRUE(requestClose(desktop, window).stillExists);  // still there right after the request
  EXPECT_EQ(desktop.closeRequests, std::vector<WindowHandle>{window});
}

// What Windows said is traced as it said it; the run goes on as ever.
TEST_F(Escalation, TraceTellsWhatWindowsRefused) {
  desktop.window(editorWindow).closeRefusal = 5;  // ERROR_ACCESS_DENIED: the editor is elevated
  desktop.session = {true, false};
  EXPECT_EQ(run(), OutcomeKilled);
  EXPECT_EQ(
      desktop.traceLines.at(2),
      "session: session 0, window station not visible; no user's windows can be seen from here");
  EXPECT_EQ(
      desktop.traceLines.at(7),
      "close request: refused by Windows, error 5, for window 0x00010010, which still exists");
}

}  // namespace
}  // namespace halvik
