// The message-dispatching wait in real time.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/win32/message_wait.h"
#include "platform/win32/win32_platform.h"
#include "wait/c_wait_n_dispatch.h"

namespace halvik::e2e {
namespace {

ULONGLONG threadCpuMilliseconds() {
  FILETIME created, exited, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
  const auto ticks = [](FILETIME time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  };
  return (ticks(kernel) + ticks(user)) / 10000;
}

TEST(RealPumpingWait, SleepsForItsTimeWithoutSpinning) {
  win32::Win32Platform platform;
  CWaitNDispatch wait(platform);
  int onTimer = 0;
  wait.addOnTimerListener([&] { ++onTimer; });

  const ULONGLONG cpuBefore = threadCpuMilliseconds();
  const ULONGLONG started = GetTickCount64();
  wait.Wait(1000);
  const ULONGLONG elapsed = GetTickCount64() - started;
  const ULONGLONG cpu = threadCpuMilliseconds() - cpuBefore;

  EXPECT_GE(elapsed, 950u);
  EXPECT_LE(elapsed, 1500u);
  EXPECT_LE(cpu, 100u);
  EXPECT_EQ(onTimer, 1);
  RecordProperty("wait_ms", static_cast<int>(elapsed));
  RecordProperty("cpu_ms", static_cast<int>(cpu));
  std::printf("Wait(1000): %llu ms elapsed, %llu ms CPU\n", elapsed, cpu);
}

// The only object a timer callback can reach.
CWaitNDispatch* waitToCancel = nullptr;
int timerCalls = 0;

void CALLBACK cancelFromTimer(HWND, UINT, UINT_PTR, DWORD) {
  ++timerCalls;
  EXPECT_TRUE(waitToCancel->IsWaiting());
  waitToCancel->Cancel();
}

TEST(RealPumpingWait, DispatchesMessagesAndEndsOnCancelFromAHandler) {
  win32::Win32Platform platform;
  CWaitNDispatch wait(platform);
  waitToCancel = &wait;
  const UINT_PTR timer = SetTimer(nullptr, 0, 200, cancelFromTimer);

  const ULONGLONG started = GetTickCount64();
  wait.Wait(5000);
  const ULONGLONG elapsed = GetTickCount64() - started;
  KillTimer(nullptr, timer);

  EXPECT_EQ(timerCalls, 1);
  EXPECT_GE(elapsed, 150u);
  EXPECT_LE(elapsed, 2000u);
}

// A wait that cannot be made says so at once, with the system's error, instead of sleeping out its
// limit as if nothing had come.
TEST(RealPumpingWait, FailsAtOnceOnAHandleThatIsNotOpen) {
  // The system hands out the lowest free numbers, and may give a closed handle's number to an
  // object of its own at once (Wine does, inside the wait): a number far above them is not open.
  const auto notOpen = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x00FFFFF0));

  const ULONGLONG started = GetTickCount64();
  const win32::HandleWaitEnd waited = win32::waitDispatchingMessages(notOpen, 30000);

  EXPECT_EQ(waited.end, win32::HandleWaitEnd::Failed);
  EXPECT_EQ(waited.error, static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_LE(GetTickCount64() - started, 1000u);
}

}  // namespace
}  // namespace halvik::e2e
