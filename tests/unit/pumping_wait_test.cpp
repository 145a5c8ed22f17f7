#include <gtest/gtest.h>

#include "platform/failure.h"
#include "sim/sim_desktop.h"
#include "wait/c_wait_n_dispatch.h"

namespace halvik {
namespace {

using sim::milliseconds;
using sim::SimDesktop;

class PumpingWait : public ::testing::Test {
 protected:
  PumpingWait() {
    wait.addOnTimerListener([this] { ++onTimerCount; });
  }

  SimDesktop desktop;
  CWaitNDispatch wait{desktop};
  int onTimerCount = 0;
};

TEST_F(PumpingWait, RunsItsFullTimeWithoutMessages) {
  wait.Wait(1000);
  EXPECT_EQ(desktop.now(), milliseconds(1000));
  EXPECT_EQ(onTimerCount, 1);
  EXPECT_FALSE(wait.IsWaiting());
  EXPECT_EQ(desktop.eventsOpen(), 0);
}

TEST_F(PumpingWait, ZeroOrNegativeDurationReturnsAtOnceWithoutOnTimer) {
  wait.Wait(0);
  wait.Wait(-1);
  wait.Wait(-2147483647 - 1);
  EXPECT_EQ(desktop.now(), 0);
  EXPECT_EQ(onTimerCount, 0);
}

TEST_F(PumpingWait, DispatchesMessagesAndKeepsItsDueTime) {
  std::vector<Ticks> handled;
  for (int at : {100, 400, 999}) {
    desktop.messageArrivesAt(milliseconds(at), [&] { handled.push_back(desktop.now()); });
  }
  wait.Wait(1000);
  EXPECT_EQ(handled, (std::vector<Ticks>{milliseconds(100), milliseconds(400), milliseconds(999)}));
  EXPECT_EQ(desktop.now(), milliseconds(1000));
  EXPECT_EQ(onTimerCount, 1);
}

TEST_F(PumpingWait, HandlerSeesTheWaitAndCanCancelIt) {
  bool seenWaiting = false;
  desktop.messageArrivesAt(milliseconds(300), [&] {
    seenWaiting = wait.IsWaiting();
    wait.Cancel();
  });
  wait.Wait(1000);
  EXPECT_TRUE(seenWaiting);
  EXPECT_EQ(desktop.now(), milliseconds(300));
  EXPECT_EQ(onTimerCount, 1);
}

TEST_F(PumpingWait, CancelWhileIdleDoesNothing) {
  wait.Cancel();
  wait.Wait(50);
  EXPECT_EQ(desktop.now(), milliseconds(50));
}

TEST_F(PumpingWait, ReentrantWaitFailsAndLeavesTheRunningWaitAlone) {
  std::optional<Failure> failure;
  desktop.messageArrivesAt(milliseconds(200), [&] {
    try {
      wait.Wait(5000);
    } catch (const Failure& raised) {
      failure = raised;
    }
  });
  wait.Wait(1000);

  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->number(), 0x800403E9u);
  EXPECT_EQ(failure->source(), "CWaitNDispatch");
  EXPECT_EQ(failure->description(),
            "This function is not reentrant. If you want to wait for a second period use a new "
            "object");
  EXPECT_EQ(desktop.now(), milliseconds(1000));
  EXPECT_EQ(onTimerCount, 1);
}

TEST_F(PumpingWait, HandlerMayWaitOnAnotherObject) {
  CWaitNDispatch inner(desktop);
  desktop.messageArrivesAt(milliseconds(200), [&] { inner.Wait(300); });
  wait.Wait(1000);
  EXPECT_EQ(desktop.now(), milliseconds(1000));
  EXPECT_EQ(onTimerCount, 1);
}

TEST_F(PumpingWait, InnerWaitPastTheDueTimeEndsTheOuterWaitRightAfter) {
  CWaitNDispatch inner(desktop);
  desktop.messageArrivesAt(milliseconds(800), [&] { inner.Wait(700); });
  wait.Wait(1000);
  EXPECT_EQ(desktop.now(), milliseconds(1500));
  EXPECT_EQ(onTimerCount, 1);
}

TEST_F(PumpingWait, WakesWithoutMessagesDoNotStretchTheWait) {
  for (int at = 100; at < 1000; at += 100) desktop.wakeWithoutMessageAt(milliseconds(at));
  wait.Wait(1000);
  EXPECT_EQ(desktop.now(), milliseconds(1000));
}

TEST_F(PumpingWait, QueueThatNeverEmptiesCannotHoldTheWaitPastItsDueTime) {
  std::function<void()> repost = [&] {
    desktop.messageArrivesAt(std::max(desktop.now(), milliseconds(1000)), repost);
  };
  desktop.messageArrivesAt(milliseconds(999), repost);
  wait.Wait(1000);
  EXPECT_EQ(desktop.now(), milliseconds(1000));
}

TEST_F(PumpingWait, FailedEventCreationLeavesTheObjectUnusable) {
  desktop.createEventError = 8;  // ERROR_NOT_ENOUGH_MEMORY
  try {
    wait.Wait(1000);
    FAIL() << "the wait should fail";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number(), 0x80070008u);
  }
  EXPECT_TRUE(wait.IsWaiting());
  EXPECT_EQ(onTimerCount, 0);

  desktop.createEventError.reset();
  try {
    wait.Wait(1000);
    FAIL() << "the object should stay unusable";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number(), CWaitNDispatch::NotReentrantError);
  }
  EXPECT_EQ(desktop.now(), 0);
}

TEST_F(PumpingWait, CanWaitAgainAfterAWaitEnds) {
  wait.Wait(1000);
  wait.Wait(500);
  EXPECT_EQ(desktop.now(), milliseconds(1500));
  EXPECT_EQ(onTimerCount, 2);
}

TEST_F(PumpingWait, EventLivesOnlyForTheWait) {
  auto owned = std::make_unique<CWaitNDispatch>(desktop);
  desktop.messageArrivesAt(milliseconds(10), [&] { EXPECT_EQ(desktop.eventsOpen(), 1); });
  owned->Wait(20);
  owned.reset();
  EXPECT_EQ(desktop.eventsOpen(), 0);
}

}  // namespace
}  // namespace halvik
