// The window lookups against real windows of real processes.

#include <gtest/gtest.h>

#include "driver/halvik_form.h"
#include "e2e_support.h"
#include "platform/win32/win32_platform.h"

namespace halvik::e2e {
namespace {

WindowHandle handleOf(HWND window) {
  return static_cast<WindowHandle>(reinterpret_cast<INT_PTR>(window));
}

class RealLookup : public ::testing::Test {
 protected:
  WindowHandle findTitle(const std::wstring& text, std::wstring* windowClass = nullptr) {
    std::wstring unused;
    return form.fEnumWindows(text, windowClass ? *windowClass : unused);
  }

  win32::Win32Platform platform;
  HalvikForm form{platform};
};

TEST_F(RealLookup, FindsATitlePartIgnoringCaseAndDeliversItsClass) {
  const auto title = uniqueTitle(L"Case Check");
  const auto target = startTarget(title, L"--class=HalvikCaseClass");
  std::wstring upper;
  for (wchar_t c : title) upper += static_cast<wchar_t>(towupper(c));

  std::wstring windowClass;
  EXPECT_EQ(findTitle(upper.substr(4), &windowClass), handleOf(target.window));
  EXPECT_EQ(windowClass, L"HalvikCaseClass");
  EXPECT_EQ(findTitle(title + L" and more"), 0);
}

TEST_F(RealLookup, FindsATitleOutsideLatin1InOtherLetterCase) {
  const std::wstring mixed =
      L"\u041f\u0440\u0438\u0432\u0435\u0442, \u041c\u0438\u0440";  // Привет, Мир
  const std::wstring lower =
      L"\u043f\u0440\u0438\u0432\u0435\u0442, \u043c\u0438\u0440";  // привет, мир
  const auto title = uniqueTitle(mixed);
  const auto target = startTarget(title);
  std::wstring search = title;
  search.replace(search.find(mixed), mixed.size(), lower);
  EXPECT_EQ(findTitle(search), handleOf(target.window));
}

TEST_F(RealLookup, FindsHiddenWindows) {
  const auto title = uniqueTitle(L"Hidden");
  const auto target = startTarget(title, L"--hidden");
  EXPECT_EQ(findTitle(title), handleOf(target.window));
}

TEST_F(RealLookup, HighestInZOrderWins) {
  const auto shared = uniqueTitle(L"Shared");
  const auto top = startTarget(shared + L" top", L"--topmost");
  const auto below = startTarget(shared + L" below");
  EXPECT_EQ(findTitle(shared), handleOf(top.window));
}

TEST_F(RealLookup, ReadsTitlesUpTo254Characters) {
  const auto start = uniqueTitle(L"Long");
  const std::wstring title = start + std::wstring(250 - start.size(), L'x') + L"abcdEFGH";
  const auto target = startTarget(title);
  EXPECT_EQ(findTitle(L"xabcd"), handleOf(target.window));
  EXPECT_EQ(findTitle(L"xabcdE"), 0);
}

TEST_F(RealLookup, ProcessSearchFindsTheUnownedWindowOfTheProcess) {
  const auto title = uniqueTitle(L"By Process");
  const auto target = startTarget(title);
  EXPECT_EQ(form.InstanceToWnd(static_cast<ProcessId>(target.process.id())),
            handleOf(target.window));
}

TEST_F(RealLookup, ProcessSearchPassesOverOwnedPopUps) {
  const auto title = uniqueTitle(L"Owned");
  const auto target = startTarget(title, L"--owned-only");
  ASSERT_NE(GetParent(target.window), nullptr);
  const WindowHandle found = form.InstanceToWnd(static_cast<ProcessId>(target.process.id()));
  EXPECT_NE(found, handleOf(target.window));
}

TEST_F(RealLookup, ProcessWithoutWindowsIsNotFound) {
  EXPECT_EQ(form.InstanceToWnd(static_cast<ProcessId>(GetCurrentProcessId())), 0);
}

}  // namespace
}  // namespace halvik::e2e
