#include "wait/c_wait_n_dispatch.h"

#include "platform/failure.h"

namespace halvik {
namespace {

// The time from now until due, rounded to the nearest millisecond, halves to even; 0 once due.
std::uint32_t millisecondsUntil(Ticks due, Ticks now) {
  const Ticks remaining = due - now;
  if (remaining <= 0) return 0;
  Ticks milliseconds = remaining / TicksPerMillisecond;
  const Ticks rest = remaining % TicksPerMillisecond;
  if (rest * 2 > TicksPerMillisecond ||
      (rest * 2 == TicksPerMillisecond && milliseconds % 2 == 1)) {
    ++milliseconds;
  }
  return static_cast<std::uint32_t>(milliseconds);
}

}  // namespace

CWaitNDispatch::~CWaitNDispatch() {
  Cancel();
  EventHandle.reset();
}

void CWaitNDispatch::Wait(std::int32_t waitMilliseconds) {
  // A negative duration is treated like 0: it must never turn into a very long wait.
  if (waitMilliseconds <= 0) return;
  if (Waiting) {
    throw Failure(NotReentrantError, "CWaitNDispatch",
                  "This function is not reentrant. If you want to wait for a second period use a "
                  "new object");
  }

  Waiting = true;
  CurrentTime = platform_.monotonicTime();
  DueTime = CurrentTime + waitMilliseconds * TicksPerMillisecond;

  // A failed creation leaves the object waiting for good: it must be replaced by a new one.
  auto created = platform_.createEvent();
  if (!created.value) throw Failure(hresultFromWin32(created.error), "", "");
  EventHandle = std::move(created.value);

  DispatchUntilDue();
  Cancel();
  raiseOnTimer();

  EventHandle.reset();
  Waiting = false;
}

void CWaitNDispatch::Cancel() {
  if (EventHandle) EventHandle->signal();
}

void CWaitNDispatch::addOnTimerListener(std::function<void()> listener) {
  onTimerListeners_.push_back(std::move(listener));
}

// Sleeps until the event, input, or the due time; dispatches whatever input brought. The
// remaining time is taken from the clock on every pass, so wakes that bring nothing to dispatch
// cannot stretch the wait past its due time. A wait on the queue that fails cannot be retried
// without spinning, and ending early would shorten the caller's round: the rest of the time is
// waited out on the event alone, without dispatching. The event, new and unsignalled, is looked
// at only after a wake that did not say: a poll waits like this once a second, for minutes, and
// every look costs a call into the system.
void CWaitNDispatch::DispatchUntilDue() {
  for (;;) {
    const WaitWake wake = EventHandle->waitForSignalOrInput(remainingMilliseconds());
    if (wake == WaitWake::Signalled || wake == WaitWake::Timeout) return;
    if (EventHandle->isSignalled()) return;
    if (wake == WaitWake::Failed) {
      CurrentTime = platform_.monotonicTime();
      EventHandle->waitForSignal(remainingMilliseconds());
      return;
    }

    if (platform_.messageWaiting()) platform_.dispatchAllMessages();
    CurrentTime = platform_.monotonicTime();
    if (remainingMilliseconds() == 0) EventHandle->signal();
  }
}

std::uint32_t CWaitNDispatch::remainingMilliseconds() const {
  return millisecondsUntil(DueTime, CurrentTime);
}

void dispatchMessagesUntil(Platform& platform, Ticks due) {
  for (;;) {
    const std::uint32_t remaining = millisecondsUntil(due, platform.monotonicTime());
    if (remaining == 0) return;
    if (platform.waitForInput(remaining) && platform.messageWaiting()) {
      platform.dispatchAllMessages();
    }
  }
}

void CWaitNDispatch::raiseOnTimer() {
  // A copy: a listener may add listeners.
  const auto listeners = onTimerListeners_;
  for (const auto& listener : listeners) listener();
}

}  // namespace halvik
