// The real halvik.exe against real windows and processes, read back from the stand-in host.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "e2e_support.h"

namespace halvik::e2e {
namespace {

using Values = std::vector<int>;
using Lines = std::vector<std::string>;

constexpr DWORD StillActive = 259;

// What Halvik tells the host, against the host in its own process and in a process of its own.
class HostReport : public ::testing::TestWithParam<HostKind> {
 protected:
  HostJournal host{GetParam()};
};

INSTANTIATE_TEST_SUITE_P(BothHosts, HostReport,
                         ::testing::Values(HostKind::InProcess, HostKind::OutOfProcess),
                         [](const auto& kind) {
                           return kind.param == HostKind::InProcess ? "InProcess" : "OutOfProcess";
                         });

TEST_P(HostReport, TitleNobodyHasEndsPromptlyWithNotFound) {
  host.createVariable();
  const double seconds = runHalvik(uniqueTitle(L"Nobody") + L"|" + host.name(), 30000);
  EXPECT_LT(seconds, 10.0);
  EXPECT_EQ(host.lines(), (Lines{"CreateVar", "SaveVar\t0", "GetVar", "SaveVar\t-1"}));
  // The name goes as a text reference, the value as a reference to a 16-bit integer.
  EXPECT_EQ(host.argumentTypes(),
            (Lines{"SaveVar\tref BSTR, ref I2", "GetVar\tref BSTR", "SaveVar\tref BSTR, ref I2"}));
}

TEST_P(HostReport, NoTargetIsReportedTwice) {
  host.createVariable();
  runHalvik(L"|" + host.name(), 30000);
  EXPECT_EQ(host.saved(), (Values{-3, -3}));
}

TEST_P(HostReport, MissingVariableIsCreatedOnlyAtTheEnd) {
  runHalvik(uniqueTitle(L"Nobody") + L"|" + host.name(), 30000);
  EXPECT_EQ(host.lines(), (Lines{"GetVar", "CreateVar", "SaveVar\t-1"}));
  EXPECT_EQ(host.argumentTypes(), (Lines{"SaveVar\tref BSTR, ref I2", "GetVar\tref BSTR",
                                         "CreateVar\tref BSTR", "SaveVar\tref BSTR, ref I2"}));
}

TEST_P(HostReport, HostThatFailsEveryCallChangesNothingOfTheShutdown) {
  host.createVariable();
  host.setMode("fail");
  const auto title = uniqueTitle(L"Failing Host");
  const auto target = startTarget(title);
  runHalvik(title + L"|" + host.name(), 30000);
  EXPECT_TRUE(target.process.waitForExit(0));
  EXPECT_EQ(host.lines(), (Lines{"CreateVar", "Failed\tSaveVar", "Failed\tGetVar",
                                 "Failed\tCreateVar", "Failed\tSaveVar"}));
}

// The first call never answers: it costs its time limit, every later call fails at once, and the
// shutdown runs as it would without a host.
TEST_P(HostReport, HostThatNeverAnswersCostsOneCallLimit) {
  host.createVariable();
  host.setMode("hang");
  const auto title = uniqueTitle(L"Hung Host");
  const auto target = startTarget(title, L"--exit-code=7");
  const double seconds = runHalvik(title + L"|" + host.name(), 90000);
  EXPECT_GE(seconds, 30.0);
  EXPECT_LT(seconds, 45.0);
  ASSERT_TRUE(target.process.waitForExit(0));
  EXPECT_EQ(target.process.exitCode(), 7u);  // it closed itself on the request
  EXPECT_EQ(host.lines(), (Lines{"CreateVar", "Hung\tSaveVar"}));
}

TEST(HalvikRun, WithoutVariableTheHostIsNotContacted) {
  HostJournal host;
  runHalvik(uniqueTitle(L"Quiet") + L"|", 30000);
  runHalvik(L"", 30000);
  EXPECT_EQ(host.lines(), Lines{});
}

TEST(HalvikRun, AbsentHostChangesNothingOfTheShutdown) {
  HostJournal host;
  host.createVariable();
  const ScopedEnvironment absent(L"HALVIK_HOST_ABSENT", L"1");
  const auto title = uniqueTitle(L"Absent Host");
  const auto target = startTarget(title);
  const double seconds = runHalvik(title + L"|" + host.name(), 30000);
  EXPECT_TRUE(target.process.waitForExit(0));
  EXPECT_LT(seconds, 10.0);  // a failed activation may cost Wine a few seconds
  EXPECT_EQ(host.lines(), Lines{"CreateVar"});
}

TEST(HalvikRun, PromptCloseIsReportedAfterAboutOneSecond) {
  HostJournal host;
  host.createVariable();
  const auto title = uniqueTitle(L"Prompt");
  const auto target = startTarget(title, L"--exit-code=7");
  const double seconds = runHalvik(title + L"|" + host.name());
  EXPECT_EQ(host.saved(), (Values{0, 1}));
  EXPECT_GE(seconds, 0.9);
  EXPECT_LT(seconds, 5.0);
  ASSERT_TRUE(target.process.waitForExit(5000));
  EXPECT_EQ(target.process.exitCode(), 7u);  // it closed itself
}

TEST(HalvikRun, ClosesByProcessId) {
  HostJournal host;
  host.createVariable();
  const auto target = startTarget(uniqueTitle(L"By Process"), L"--on-close=delay:1500");
  const double seconds = runHalvik(std::to_wstring(target.process.id()) + L"|" + host.name());
  EXPECT_EQ(host.saved(), (Values{0, 1}));
  EXPECT_GE(seconds, 1.9);
  EXPECT_LT(seconds, 6.0);
}

TEST(HalvikRun, IgnoredCloseRequestEndsInAForcedEnd) {
  HostJournal host;
  host.createVariable();
  const auto title = uniqueTitle(L"Stubborn");
  const auto target = startTarget(title, L"--on-close=ignore");
  const double seconds = runHalvik(title + L"|" + host.name());
  EXPECT_EQ(host.saved(), (Values{0, 2}));
  EXPECT_GE(seconds, 50.0);
  EXPECT_LT(seconds, 70.0);
  ASSERT_TRUE(target.process.waitForExit(5000));
  EXPECT_EQ(target.process.exitCode(), StillActive);
}

TEST(HalvikRun, UnansweredSaveQuestionEndsInAForcedEnd) {
  HostJournal host;
  host.createVariable();
  const auto title = uniqueTitle(L"Unsaved");
  const auto target = startTarget(title, L"--on-close=ask");
  runHalvik(title + L"|" + host.name());
  EXPECT_EQ(host.saved(), (Values{0, 2}));
  EXPECT_TRUE(target.process.waitForExit(5000));
}

TEST(HalvikRun, TitleKeptByAnotherProcessAfterTheTargetClosed) {
  HostJournal host;
  host.createVariable();
  const auto title = uniqueTitle(L"Twin");
  const auto target = startTarget(title, L"--topmost");
  const auto twin = startTarget(title + L" (copy)", L"--on-close=ignore");
  const double seconds = runHalvik(title + L"|" + host.name());
  EXPECT_EQ(host.saved(), (Values{0, 3}));
  EXPECT_GE(seconds, 50.0);
  EXPECT_LT(seconds, 70.0);
  EXPECT_FALSE(twin.process.waitForExit(0));  // never touched
}

TEST(HalvikRun, TitleKeptByAnotherProcessAfterTheTargetWasEnded) {
  HostJournal host;
  host.createVariable();
  const auto title = uniqueTitle(L"Stubborn Twin");
  const auto target = startTarget(title, L"--topmost --on-close=ignore");
  const auto twin = startTarget(title + L" (copy)", L"--on-close=ignore");
  const double seconds = runHalvik(title + L"|" + host.name());
  EXPECT_EQ(host.saved(), (Values{0, 4}));
  EXPECT_GE(seconds, 100.0);
  EXPECT_LT(seconds, 130.0);
  EXPECT_TRUE(target.process.waitForExit(0));
  EXPECT_FALSE(twin.process.waitForExit(0));
}

// A host in Halvik's own process that misbehaves there: it may hold up a thread, a release or its
// own unloading, but not the shutdown, the reports or the end of the run.
class InProcessHost : public ::testing::Test {
 protected:
  // Halvik's call limit, which its final release of the host and the end of its call thread
  // share; the margin covers Wine's start-up and a slow machine.
  static constexpr double EndLimitSeconds = 30.0 + 10.0;

  // Closes a prompt target, and returns the seconds from Halvik's final report to its end. The
  // test fails when there is no final report or Halvik does not end within the end limit.
  double secondsFromFinalReportToEnd() {
    const auto title = uniqueTitle(L"Misbehaving Host");
    const auto target = startTarget(title);
    const StartedProcess halvik(quoted(binaryPath(L"halvik.exe")) + L" " + title + L"|" +
                                host.name());
    const ULONGLONG due = GetTickCount64() + 30000;
    while (host.saved().size() < 2 && GetTickCount64() < due) Sleep(50);
    const ULONGLONG reported = GetTickCount64();
    EXPECT_EQ(host.saved(), (Values{0, 1}));
    EXPECT_TRUE(halvik.waitForExit(static_cast<DWORD>(EndLimitSeconds * 1000)))
        << "halvik.exe did not end in time after its final report";
    EXPECT_TRUE(target.process.waitForExit(0));
    return static_cast<double>(GetTickCount64() - reported) / 1000.0;
  }

  HostJournal host{HostKind::InProcess};
};

// Reading the title of a window of Halvik's own process must not wait for its thread.
TEST_F(InProcessHost, WindowThatReadsNoMessagesHoldsNothingUp) {
  host.createVariable();
  host.setMode("silent-window");
  const auto title = uniqueTitle(L"Beside Silent Window");
  const auto target = startTarget(title, L"--exit-code=7");
  const double seconds = runHalvik(title + L"|" + host.name(), 30000);
  EXPECT_LT(seconds, 10.0);
  EXPECT_EQ(host.saved(), (Values{0, 1}));
  ASSERT_TRUE(target.process.waitForExit(0));
  EXPECT_EQ(target.process.exitCode(), 7u);  // it closed itself on the request
}

TEST_F(InProcessHost, ReleaseThatNeverReturnsEndsTheRunWithinTheCallLimit) {
  host.createVariable();
  host.setMode("endless-release");
  EXPECT_LT(secondsFromFinalReportToEnd(), EndLimitSeconds);
}

TEST_F(InProcessHost, UnloadThatNeverReturnsEndsTheRunWithinTheCallLimit) {
  host.createVariable();
  host.setMode("endless-unload");
  EXPECT_LT(secondsFromFinalReportToEnd(), EndLimitSeconds);
}

// Many short host calls side by side, each on a thread that ends at once: a call that ended must
// never be taken for one that did not answer. Each round starts four runs with no target (a host
// object, two reports and a release each) and wants every one reported and ended promptly.
TEST(HostCallStress, FourRunsSideBySideEachReportInTime) {
  constexpr int Copies = 4;
  constexpr int Rounds = 25;
  std::vector<std::unique_ptr<HostJournal>> hosts;
  for (int copy = 0; copy < Copies; ++copy) {
    hosts.push_back(std::make_unique<HostJournal>(HostKind::InProcess));
    hosts.back()->createVariable();
  }
  for (int round = 1; round <= Rounds; ++round) {
    const ULONGLONG due = GetTickCount64() + 20000;
    std::vector<StartedProcess> runs;
    for (const auto& host : hosts) {
      runs.emplace_back(quoted(binaryPath(L"halvik.exe")) + L" |" + host->name());
    }
    for (int copy = 0; copy < Copies; ++copy) {
      const ULONGLONG now = GetTickCount64();
      ASSERT_TRUE(runs[copy].waitForExit(static_cast<DWORD>(now < due ? due - now : 0)))
          << "round " << round << ", copy " << copy << ": still running after 20 s";
      ASSERT_EQ(hosts[copy]->saved(), Values(2 * round, -3))
          << "round " << round << ", copy " << copy;
    }
  }
}

// A host stuck in loading holds the loader lock for good once its activation has been abandoned:
// nothing after it may wait for that lock, the forced end least of all.
TEST(HalvikRun, HostStuckInLoadingHoldsUpNeitherTheForcedEndNorTheEnd) {
  const ScopedEnvironment stuck(L"HALVIK_HOST_STUCK_LOADING", L"1");
  HostJournal host;
  const auto title = uniqueTitle(L"Beside Stuck Host");
  const auto target = startTarget(title, L"--on-close=ignore");
  runHalvik(title + L"|" + host.name());
  ASSERT_TRUE(target.process.waitForExit(5000));
  EXPECT_EQ(target.process.exitCode(), StillActive);
}

// Wine's own editor, once by title and once by process ID. One test, so that no other test's
// editor is on the desktop at the same time.
TEST(HalvikRun, ClosesWinesNotepadByTitleAndByProcessId) {
  HostJournal host;
  host.createVariable();
  const std::wstring notepad = L"notepad.exe";
  {
    StartedProcess editor(notepad);
    ASSERT_NE(waitForWindow(L"Untitled - Notepad"), nullptr);
    runHalvik(L"Untitled - Notepad|" + host.name());
    EXPECT_TRUE(editor.waitForExit(5000));
  }
  {
    StartedProcess editor(notepad);
    ASSERT_NE(waitForWindow(L"Untitled - Notepad"), nullptr);
    runHalvik(std::to_wstring(editor.id()) + L"|" + host.name());
    EXPECT_TRUE(editor.waitForExit(5000));
  }
  EXPECT_EQ(host.saved(), (Values{0, 1, 0, 1}));
}

}  // namespace
}  // namespace halvik::e2e
