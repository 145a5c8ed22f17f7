#include <gtest/gtest.h>

#include <cfenv>

#include "sim/run_halvik.h"

namespace halvik {
namespace {

using sim::runHalvik;
using sim::SimDesktop;

TEST(TargetResolution, NoTargetEndsAtOnceWithoutTouchingAnything) {
  for (const auto* argumentText : {L"", L"   ", L"|", L" | ", L"|Status"}) {
    SimDesktop desktop;
    desktop.addWindow(L"Untitled - Notepad", 100);
    EXPECT_EQ(runHalvik(desktop, argumentText).outcome, OutcomeNoTarget) << argumentText;
    EXPECT_TRUE(desktop.closeRequests.empty());
    EXPECT_EQ(desktop.now(), 0);
  }
}

TEST(TargetResolution, ByTitleTakesTheWindowItsOwnerAndTheTextAsTitle) {
  SimDesktop desktop;
  const auto notepad = desktop.addWindow(L"Untitled - Notepad", 100);
  desktop.quitsOnClose(notepad);

  const auto run = runHalvik(desktop, L"  notepad  ");
  EXPECT_EQ(run.target, L"notepad");
  EXPECT_EQ(run.targetWindow, notepad);
  EXPECT_EQ(run.targetProcess, 100);
  EXPECT_EQ(run.targetTitle, L"notepad");
}

TEST(TargetResolution, ByProcessIdTakesTheProcessFirstWindowAndItsTitle) {
  SimDesktop desktop;
  const auto main = desktop.addWindow(L"Untitled - Notepad", 1234);
  desktop.quitsOnClose(main);

  const auto run = runHalvik(desktop, L"1234");
  EXPECT_EQ(run.targetWindow, main);
  EXPECT_EQ(run.targetProcess, 1234);
  EXPECT_EQ(run.targetTitle, L"Untitled - Notepad");
}

// In every rounding mode: a host loaded into the process before the conversion may change it.
TEST(TargetResolution, NumbersRoundHalvesToEvenWhateverTheRoundingMode) {
  const std::pair<const wchar_t*, ProcessId> cases[] = {
      {L"1234.5", 1234}, {L"12.5", 12},  {L"13.5", 14},   {L"-12.5", -12},
      {L"-13.5", -14},   {L"12.4", 12},  {L"-12.6", -13}, {L"&H10", 16},
      {L"&O17", 15},     {L"1e3", 1000}, {L"-5", -5}};
  const int modeBefore = std::fegetround();
  for (const int mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
    std::fesetround(mode);
    for (const auto& [text, expected] : cases) {
      SimDesktop desktop;
      EXPECT_EQ(runHalvik(desktop, text).targetProcess, expected) << text << " in mode " << mode;
    }
  }
  std::fesetround(modeBefore);
}

TEST(TargetResolution, NumberOutsideThe32BitRangeFindsNothing) {
  SimDesktop desktop;
  desktop.addWindow(L"99999999999 downloads", 100);
  const auto run = runHalvik(desktop, L"99999999999");
  EXPECT_EQ(run.outcome, OutcomeNotFound);
  EXPECT_EQ(run.targetWindow, 0);
  EXPECT_EQ(run.targetProcess, 0);
  EXPECT_EQ(run.targetTitle, L"");
}

TEST(TargetResolution, DigitsAreNeverATitle) {
  SimDesktop desktop;
  desktop.addWindow(L"Room 1234 lights", 100);
  EXPECT_EQ(runHalvik(desktop, L"1234").outcome, OutcomeNotFound);
  EXPECT_TRUE(desktop.closeRequests.empty());
}

TEST(TargetResolution, NothingFoundEndsInNotFound) {
  SimDesktop desktop;
  const auto editor = desktop.addWindow(L"Editor", 100);
  desktop.addWindow(L"Save changes?", 200, editor);
  EXPECT_EQ(runHalvik(desktop, L"Calculator").outcome, OutcomeNotFound);
  EXPECT_EQ(runHalvik(desktop, L"300").outcome, OutcomeNotFound);  // no window at all
  EXPECT_EQ(runHalvik(desktop, L"200").outcome, OutcomeNotFound);  // only an owned pop-up
  EXPECT_TRUE(desktop.closeRequests.empty());
}

TEST(TargetResolution, QuotedTargetIsSearchedWithItsQuotes) {
  SimDesktop desktop;
  desktop.addWindow(L"My App", 100);
  EXPECT_EQ(runHalvik(desktop, LR"("My App")").outcome, OutcomeNotFound);
}

}  // namespace
}  // namespace halvik
