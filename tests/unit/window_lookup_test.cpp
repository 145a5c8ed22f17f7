#include <gtest/gtest.h>

#include "sim/sim_desktop.h"
#include "window_ops/window_ops.h"

namespace halvik {
namespace {

using sim::SimDesktop;

class WindowLookup : public ::testing::Test {
 protected:
  WindowHandle findTitle(const std::wstring& text) {
    std::wstring unusedClass;
    return findTitledWindow(desktop, text, unusedClass);
  }

  SimDesktop desktop;
};

TEST_F(WindowLookup, TitleSearchIgnoresCaseAndMatchesAnyPart) {
  const auto notepad = desktop.addWindow(L"Untitled - Notepad", 100);
  EXPECT_EQ(findTitle(L"untitled - NOTEPAD"), notepad);
  EXPECT_EQ(findTitle(L"- Note"), notepad);
  EXPECT_EQ(findTitle(L"Notepad++"), 0);
}

TEST_F(WindowLookup, TitleSearchFollowsTheCasingOfTheUserLocale) {
  const auto city = desktop.addWindow(L"\u0130STANBUL - Map", 100);  // İSTANBUL
  EXPECT_EQ(findTitle(L"istanbul"), 0);  // elsewhere the capital of i is I
  desktop.userLocale = L"tr-TR";
  EXPECT_EQ(findTitle(L"istanbul"), city);
  EXPECT_EQ(findTitle(L"ISTANBUL"), 0);  // and I is the capital of the dotless ı
}

TEST_F(WindowLookup, HighestMatchInZOrderWins) {
  const auto lower = desktop.addWindow(L"Report.txt - Notepad", 100);
  const auto upper = desktop.addWindow(L"Notes - Notepad", 200);
  EXPECT_EQ(findTitle(L"Notepad"), lower);
  desktop.raiseToTop(upper);
  EXPECT_EQ(findTitle(L"Notepad"), upper);
}

// The console shows the command that started the program, target text and all; a terminal holds
// it as an owned window and shows the same; the system's ghost stands in for a hung window above
// it; and input-method windows, hidden, belong to every GUI thread.
TEST_F(WindowLookup, PassesOverTheLaunchingConsoleItsHolderGhostsAndInputMethodWindows) {
  const auto terminal = desktop.addWindow(L"cscript close.vbs \"Untitled - Notepad\"", 300);
  const auto console =
      desktop.addWindow(L"cscript close.vbs \"Untitled - Notepad\"", 400, terminal);
  const auto ghost = desktop.addWindow(L"Untitled - Notepad (Not Responding)", 500);
  desktop.window(ghost).className = L"Ghost";
  desktop.process(500).imagePath = LR"(C:\Windows\System32\DWM.exe)";
  desktop.window(desktop.addWindow(L"Default IME", 100)).className = L"IME";
  desktop.window(desktop.addWindow(L"MSCTFIME UI", 100)).className = L"MSCTFIME UI";
  const auto notepad = desktop.addWindow(L"Untitled - Notepad", 100);
  EXPECT_EQ(findTitle(L"Notepad"), terminal);
  desktop.console = {console, terminal};
  EXPECT_EQ(findTitle(L"Notepad"), notepad);
  EXPECT_EQ(findTitle(L"cscript"), 0);
  EXPECT_EQ(findTitle(L"Not Responding"), 0);
  EXPECT_EQ(findTitle(L"IME"), 0);
  desktop.process(500).imagePath = LR"(C:\Windows\System32\csrss.exe)";
  EXPECT_EQ(findTitle(L"Not Responding"), 0);
  desktop.process(500).imagePath = L"";  // a program that cannot be told
  EXPECT_EQ(findTitle(L"Not Responding"), 0);
  desktop.process(500).imagePath = LR"(C:\Games\Ghost.exe)";  // the class name is anyone's
  EXPECT_EQ(findTitle(L"Not Responding"), ghost);
}

TEST_F(WindowLookup, UntitledWindowsNeverMatchAndEmptyTextMatchesFirstTitled) {
  desktop.addWindow(L"", 100);
  const auto titled = desktop.addWindow(L"Clock", 200);
  EXPECT_EQ(findTitle(L""), titled);
}

TEST_F(WindowLookup, DeliversTheClassOnlyOnAMatch) {
  const auto clock = desktop.addWindow(L"Clock", 100);
  desktop.window(clock).className = L"ClockWindowClass";
  std::wstring windowClass = L"unchanged";
  EXPECT_EQ(findTitledWindow(desktop, L"Calendar", windowClass), 0);
  EXPECT_EQ(windowClass, L"unchanged");
  EXPECT_EQ(findTitledWindow(desktop, L"clock", windowClass), clock);
  EXPECT_EQ(windowClass, L"ClockWindowClass");
}

TEST_F(WindowLookup, TitlesAreReadUpTo254Characters) {
  const std::wstring longTitle = std::wstring(250, L'x') + L"abcdEFGH";
  const auto window = desktop.addWindow(longTitle, 100);
  EXPECT_EQ(findTitle(L"abcd"), window);  // characters 251 to 254
  EXPECT_EQ(findTitle(L"abcdE"), 0);      // reaches character 255
}

TEST_F(WindowLookup, ProcessSearchSkipsOwnedPopUpsAndOtherProcesses) {
  desktop.addWindow(L"Other", 200);
  const auto main = desktop.addWindow(L"Editor", 100);
  const auto question = desktop.addWindow(L"Save changes?", 100, main);
  desktop.raiseToTop(question);
  EXPECT_EQ(firstWindowOfProcess(desktop, 100), main);
  EXPECT_EQ(firstWindowOfProcess(desktop, 300), 0);

  desktop.destroyWindow(main);
  desktop.window(question).owner = 0x4242;  // owned by a window elsewhere
  EXPECT_EQ(firstWindowOfProcess(desktop, 100), 0);
}

// A window destroyed during the walk reads 0 as its owner, and no process has that ID.
TEST_F(WindowLookup, ProcessSearchForIdZeroFindsNothing) {
  desktop.addWindow(L"Closing", 0);
  EXPECT_EQ(firstWindowOfProcess(desktop, 0), 0);
}

TEST_F(WindowLookup, ProcessSearchFindsHiddenAndUntitledWindowsFirstInZOrder) {
  const auto untitled = desktop.addWindow(L"", 100);
  desktop.addWindow(L"Editor", 100);
  EXPECT_EQ(firstWindowOfProcess(desktop, 100), untitled);
}

// Hidden helper windows and owned tool windows above the main window are passed over.
TEST_F(WindowLookup, MainWindowIsTheFirstVisibleOneWithoutOwner) {
  const auto main = desktop.addWindow(L"Editor", 100);
  const auto inputMethod = desktop.addWindow(L"Default IME", 100);
  desktop.window(inputMethod).visible = false;
  const auto palette = desktop.addWindow(L"Tools", 100, main);
  desktop.window(palette).ownerIsParent = false;  // overlapped, not a pop-up
  desktop.raiseToTop(inputMethod);
  desktop.raiseToTop(palette);
  EXPECT_EQ(mainWindowOfProcess(desktop, 100), main);

  desktop.window(main).visible = false;  // nothing qualifies: the first parentless window
  EXPECT_EQ(mainWindowOfProcess(desktop, 100), palette);
}

}  // namespace
}  // namespace halvik
