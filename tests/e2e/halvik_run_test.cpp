// The real halvik.exe against real windows and processes, read back from the stand-in host.

#include <gtest/gtest.h>

#include "e2e_support.h"

namespace halvik::e2e {
namespace {

using Values = std::vector<int>;
using Lines = std::vector<std::string>;

constexpr DWORD StillActive = 259;

TEST(HalvikRun, TitleNobodyHasEndsPromptlyWithNotFound) {
  HostJournal host;
  host.createVariable("State");
  const double seconds = runHalvik(uniqueTitle(L"Nobody") + L"|State", 30000);
  EXPECT_LT(seconds, 10.0);
  EXPECT_EQ(host.lines(), (Lines{"CreateVar\tState", "SaveVar\tState\t0", "GetVar\tState",
                                 "SaveVar\tState\t-1"}));
}

TEST(HalvikRun, NoTargetIsReportedTwice) {
  HostJournal host;
  host.createVariable("Status");
  runHalvik(L"|Status", 30000);
  EXPECT_EQ(host.saved("Status"), (Values{-3, -3}));
}

TEST(HalvikRun, WithoutVariableTheHostIsNotContacted) {
  HostJournal host;
  runHalvik(uniqueTitle(L"Quiet") + L"|", 30000);
  runHalvik(L"", 30000);
  EXPECT_EQ(host.lines(), Lines{});
}

TEST(HalvikRun, MissingVariableIsCreatedOnlyAtTheEnd) {
  HostJournal host;
  runHalvik(uniqueTitle(L"Nobody") + L"|Fresh", 30000);
  EXPECT_EQ(host.lines(), (Lines{"GetVar\tFresh", "CreateVar\tFresh", "SaveVar\tFresh\t-1"}));
}

TEST(HalvikRun, HostThatFailsEveryCallChangesNothingOfTheShutdown) {
  HostJournal host;
  host.createVariable("State");
  const ScopedEnvironment failing(L"HALVIK_HOST_FAIL", L"1");
  const auto title = uniqueTitle(L"Failing Host");
  const auto target = startTarget(title);
  runHalvik(title + L"|State", 30000);
  EXPECT_TRUE(target.process.waitForExit(0));
  EXPECT_EQ(host.lines(),
            (Lines{"CreateVar\tState", "Failed\tSaveVar\tState", "Failed\tGetVar\tState",
                   "Failed\tCreateVar\tState", "Failed\tSaveVar\tState"}));
}

TEST(HalvikRun, AbsentHostChangesNothingOfTheShutdown) {
  HostJournal host;
  host.createVariable("State");
  const ScopedEnvironment absent(L"HALVIK_HOST_ABSENT", L"1");
  const auto title = uniqueTitle(L"Absent Host");
  const auto target = startTarget(title);
  const double seconds = runHalvik(title + L"|State", 30000);
  EXPECT_TRUE(target.process.waitForExit(0));
  EXPECT_LT(seconds, 10.0);  // a failed activation may cost Wine a few seconds
  EXPECT_EQ(host.lines(), Lines{"CreateVar\tState"});
}

TEST(HalvikRun, PromptCloseIsReportedAfterAboutOneSecond) {
  HostJournal host;
  host.createVariable("State");
  const auto title = uniqueTitle(L"Prompt");
  const auto target = startTarget(title, L"--exit-code=7");
  const double seconds = runHalvik(title + L"|State");
  EXPECT_EQ(host.saved("State"), (Values{0, 1}));
  EXPECT_GE(seconds, 0.9);
  EXPECT_LT(seconds, 5.0);
  ASSERT_TRUE(target.process.waitForExit(5000));
  EXPECT_EQ(target.process.exitCode(), 7u);  // it closed itself
}

TEST(HalvikRun, ClosesByProcessId) {
  HostJournal host;
  host.createVariable("State");
  const auto target = startTarget(uniqueTitle(L"By Process"), L"--on-close=delay:1500");
  const double seconds = runHalvik(std::to_wstring(target.process.id()) + L"|State");
  EXPECT_EQ(host.saved("State"), (Values{0, 1}));
  EXPECT_GE(seconds, 1.9);
  EXPECT_LT(seconds, 6.0);
}

TEST(HalvikRun, IgnoredCloseRequestEndsInAForcedEnd) {
  HostJournal host;
  host.createVariable("State");
  const auto title = uniqueTitle(L"Stubborn");
  const auto target = startTarget(title, L"--on-close=ignore");
  const double seconds = runHalvik(title + L"|State");
  EXPECT_EQ(host.saved("State"), (Values{0, 2}));
  EXPECT_GE(seconds, 50.0);
  EXPECT_LT(seconds, 70.0);
  ASSERT_TRUE(target.process.waitForExit(5000));
  EXPECT_EQ(target.process.exitCode(), StillActive);
}

TEST(HalvikRun, UnansweredSaveQuestionEndsInAForcedEnd) {
  HostJournal host;
  host.createVariable("State");
  const auto title = uniqueTitle(L"Unsaved");
  const auto target = startTarget(title, L"--on-close=ask");
  runHalvik(title + L"|State");
  EXPECT_EQ(host.saved("State"), (Values{0, 2}));
  EXPECT_TRUE(target.process.waitForExit(5000));
}

TEST(HalvikRun, TitleKeptByAnotherProcessAfterTheTargetClosed) {
  HostJournal host;
  host.createVariable("State");
  const auto title = uniqueTitle(L"Twin");
  const auto target = startTarget(title, L"--topmost");
  const auto twin = startTarget(title + L" (copy)", L"--on-close=ignore");
  const double seconds = runHalvik(title + L"|State");
  EXPECT_EQ(host.saved("State"), (Values{0, 3}));
  EXPECT_GE(seconds, 50.0);
  EXPECT_LT(seconds, 70.0);
  EXPECT_FALSE(twin.process.waitForExit(0));  // never touched
}

TEST(HalvikRun, TitleKeptByAnotherProcessAfterTheTargetWasEnded) {
  HostJournal host;
  host.createVariable("State");
  const auto title = uniqueTitle(L"Stubborn Twin");
  const auto target = startTarget(title, L"--topmost --on-close=ignore");
  const auto twin = startTarget(title + L" (copy)", L"--on-close=ignore");
  const double seconds = runHalvik(title + L"|State");
  EXPECT_EQ(host.saved("State"), (Values{0, 4}));
  EXPECT_GE(seconds, 100.0);
  EXPECT_LT(seconds, 130.0);
  EXPECT_TRUE(target.process.waitForExit(0));
  EXPECT_FALSE(twin.process.waitForExit(0));
}

// Wine's own editor, once by title and once by process ID. One test, so that no other test's
// editor is on the desktop at the same time.
TEST(HalvikRun, ClosesWinesNotepadByTitleAndByProcessId) {
  HostJournal host;
  host.createVariable("NotepadState");
  const std::wstring notepad = L"notepad.exe";
  {
    StartedProcess editor(notepad);
    ASSERT_NE(waitForWindow(L"Untitled - Notepad"), nullptr);
    runHalvik(L"Untitled - Notepad|NotepadState");
    EXPECT_TRUE(editor.waitForExit(5000));
  }
  {
    StartedProcess editor(notepad);
    ASSERT_NE(waitForWindow(L"Untitled - Notepad"), nullptr);
    runHalvik(std::to_wstring(editor.id()) + L"|NotepadState");
    EXPECT_TRUE(editor.waitForExit(5000));
  }
  EXPECT_EQ(host.saved("NotepadState"), (Values{0, 1, 0, 1}));
}

}  // namespace
}  // namespace halvik::e2e
