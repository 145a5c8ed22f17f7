// The window lookups against real windows of real processes, and the close request.

#include <gtest/gtest.h>

#include "e2e_support.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/window_handle.h"
#include "window_ops/window_ops.h"

namespace halvik::e2e {
namespace {

using win32::fromHwnd;
using win32::toHwnd;

// Handles with the top bit of their 32 bits set are sign-extended in a 64-bit process: they must
// survive the trip through the program's 32-bit form unchanged, in both builds.
TEST(WindowHandle, ConversionKeepsEveryHandleWindowsGivesOut) {
  const auto highHandle = reinterpret_cast<HWND>(static_cast<INT_PTR>(INT32_MIN + 0x1234));
  EXPECT_EQ(fromHwnd(highHandle), INT32_MIN + 0x1234);
  EXPECT_EQ(toHwnd(INT32_MIN + 0x1234), highHandle);
  EXPECT_EQ(toHwnd(-1), reinterpret_cast<HWND>(static_cast<INT_PTR>(-1)));
  EXPECT_EQ(fromHwnd(toHwnd(0x7FFF1234)), 0x7FFF1234);
  EXPECT_EQ(toHwnd(0), nullptr);

  const auto target = startTarget(uniqueTitle(L"Handle"));
  EXPECT_TRUE(IsWindow(toHwnd(fromHwnd(target.window))));
}

class RealLookup : public ::testing::Test {
 protected:
  WindowHandle findTitle(const std::wstring& text, std::wstring* windowClass = nullptr) {
    std::wstring unused;
    return findTitledWindow(platform, text, windowClass ? *windowClass : unused);
  }

  win32::Win32Platform platform;
};

TEST_F(RealLookup, FindsATitlePartIgnoringCaseAndDeliversItsClass) {
  const auto title = uniqueTitle(L"Case Check");
  const auto target = startTarget(title, L"--class=HalvikCaseClass");
  std::wstring upper;
  for (wchar_t c : title) upper += static_cast<wchar_t>(towupper(c));

  std::wstring windowClass;
  EXPECT_EQ(findTitle(upper.substr(4), &windowClass), fromHwnd(target.window));
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
  EXPECT_EQ(findTitle(search), fromHwnd(target.window));
}

TEST_F(RealLookup, FindsHiddenWindows) {
  const auto title = uniqueTitle(L"Hidden");
  const auto target = startTarget(title, L"--hidden");
  EXPECT_EQ(findTitle(title), fromHwnd(target.window));
}

TEST_F(RealLookup, HighestInZOrderWins) {
  const auto shared = uniqueTitle(L"Shared");
  const auto top = startTarget(shared + L" top", L"--topmost");
  const auto below = startTarget(shared + L" below");
  EXPECT_EQ(findTitle(shared), fromHwnd(top.window));
}

TEST_F(RealLookup, ReadsTitlesUpTo254Characters) {
  const auto start = uniqueTitle(L"Long");
  const std::wstring title = start + std::wstring(250 - start.size(), L'x') + L"abcdEFGH";
  const auto target = startTarget(title);
  EXPECT_EQ(findTitle(L"xabcd"), fromHwnd(target.window));
  EXPECT_EQ(findTitle(L"xabcdE"), 0);
}

TEST_F(RealLookup, ProcessSearchFindsTheUnownedWindowOfTheProcess) {
  const auto title = uniqueTitle(L"By Process");
  const auto target = startTarget(title);
  EXPECT_EQ(firstWindowOfProcess(platform, static_cast<ProcessId>(target.process.id())),
            fromHwnd(target.window));
}

TEST_F(RealLookup, ProcessSearchPassesOverOwnedPopUps) {
  const auto title = uniqueTitle(L"Owned");
  const auto target = startTarget(title, L"--owned-only");
  ASSERT_NE(GetParent(target.window), nullptr);
  const WindowHandle found =
      firstWindowOfProcess(platform, static_cast<ProcessId>(target.process.id()));
  EXPECT_NE(found, fromHwnd(target.window));
}

TEST_F(RealLookup, ProcessWithoutWindowsIsNotFound) {
  EXPECT_EQ(firstWindowOfProcess(platform, static_cast<ProcessId>(GetCurrentProcessId())), 0);
}

// Windows' refusal reaches the trace with the error it gave.
TEST(CloseRequest, ToAWindowJustDestroyedIsRefusedWithWindowsError) {
  const HWND window =
      CreateWindowExW(0, L"STATIC", L"Gone", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(window && DestroyWindow(window));
  const PostedMessage posted = win32::Win32Platform().postClose(fromHwnd(window));
  EXPECT_FALSE(posted.value);
  EXPECT_EQ(posted.error, static_cast<std::uint32_t>(ERROR_INVALID_WINDOW_HANDLE));
}

}  // namespace
}  // namespace halvik::e2e
