// A process ID names an application: the close request goes to its main window, past the other
// top-level windows the process keeps above it.

#include <gtest/gtest.h>

#include "e2e_support.h"

namespace halvik::e2e {
namespace {

bool isAbove(HWND upper, HWND lower) {
  for (HWND window = GetWindow(lower, GW_HWNDPREV); window != nullptr;
       window = GetWindow(window, GW_HWNDPREV)) {
    if (window == upper) return true;
  }
  return false;
}

// The target started with --exit-code=7 closes itself as soon as its main window is asked to.
void expectClosedOnRequestByProcessId(const Target& target) {
  HostJournal host;
  host.createVariable();
  const double seconds = runHalvik(std::to_wstring(target.process.id()) + L"|" + host.name());
  EXPECT_EQ(host.saved(), (std::vector<int>{0, 1}));
  EXPECT_LT(seconds, 5.0);
  ASSERT_TRUE(target.process.waitForExit(5000)) << "the application did not close";
  EXPECT_EQ(target.process.exitCode(), 7u);
}

TEST(MainWindow, HiddenWindowOfAnotherThreadAboveItIsPassedOver) {
  const auto title = uniqueTitle(L"Beside Worker");
  const auto target = startTarget(title, L"--worker-window --exit-code=7");
  const HWND worker = waitForWindow(title + L" (worker)");
  ASSERT_NE(worker, nullptr);
  ASSERT_TRUE(isAbove(worker, target.window));
  expectClosedOnRequestByProcessId(target);
}

TEST(MainWindow, OwnedPaletteAboveItIsPassedOver) {
  const auto title = uniqueTitle(L"Beside Palette");
  const auto target = startTarget(title, L"--palette --exit-code=7");
  const HWND palette = waitForWindow(title + L" (palette)");
  ASSERT_NE(palette, nullptr);
  ASSERT_EQ(GetWindow(palette, GW_OWNER), target.window);
  ASSERT_EQ(GetParent(palette), nullptr);  // GetParent names the owner of pop-ups only
  ASSERT_TRUE(isAbove(palette, target.window));
  expectClosedOnRequestByProcessId(target);
}

}  // namespace
}  // namespace halvik::e2e
