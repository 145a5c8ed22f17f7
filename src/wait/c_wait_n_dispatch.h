#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/platform.h"

namespace halvik {

// Waits a number of milliseconds on the program's one thread without freezing it: the thread's
// window messages keep being dispatched, and Cancel (also from a message handler) ends the wait
// early. OnTimer listeners hear the end of every wait that began. One wait at a time per object.
class CWaitNDispatch {
 public:
  // The number of the failure of a Wait on an object that is already waiting.
  static constexpr std::uint32_t NotReentrantError = 0x800403E9;

  explicit CWaitNDispatch(Platform& platform) : platform_(platform) {}
  ~CWaitNDispatch();
  CWaitNDispatch(const CWaitNDispatch&) = delete;
  CWaitNDispatch& operator=(const CWaitNDispatch&) = delete;

  bool IsWaiting() const { return Waiting; }
  // Throws Failure. A duration of 0 or less returns at once and raises no OnTimer.
  void Wait(std::int32_t waitMilliseconds);
  void Cancel();
  void addOnTimerListener(std::function<void()> listener);

 private:
  void DispatchUntilDue();
  std::uint32_t remainingMilliseconds() const;
  void raiseOnTimer();

  Platform& platform_;
  // Monotonic times, so that a change of the system clock cannot stretch or cut a wait.
  Ticks CurrentTime = 0;
  Ticks DueTime = 0;
  std::unique_ptr<WaitEvent> EventHandle;  // exists only during a wait
  bool Waiting = false;
  std::vector<std::function<void()>> onTimerListeners_;
};

// Waits until the due time with no event to end it, dispatching the thread's messages meanwhile:
// what is left when a wait's event cannot be made.
void dispatchMessagesUntil(Platform& platform, Ticks due);

}  // namespace halvik
