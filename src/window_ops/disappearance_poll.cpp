#include "window_ops/window_ops.h"

namespace halvik {

// The title is looked for after each full round, never at once. A search that fails tells
// nothing, so the title counts as present for that round and the poll goes on: one bad moment must
// not cut the application's grace period short. Nor may a wait that cannot be made (its event
// could not be created): the round is waited out without it, messages dispatched, and the next
// round tries a new wait object, since the failed one stays waiting for good.
std::int16_t pollUntilTitleGone(Platform& platform, std::unique_ptr<CWaitNDispatch>& timer,
                                const std::wstring& title,
                                const std::function<void(const PollRound&)>& observeRound) {
  timer = std::make_unique<CWaitNDispatch>(platform);
  std::int16_t titleGone = 0;
  for (std::int16_t round = 1; round <= MaxWaitRounds; ++round) {
    const Ticks roundDue = platform.monotonicTime() + WaitRoundMilliseconds * TicksPerMillisecond;
    PollRound seen{round, true, std::nullopt, std::nullopt};
    try {
      timer->Wait(WaitRoundMilliseconds);
    } catch (const Failure& failure) {
      seen.waitFailure = failure;
      dispatchMessagesUntil(platform, roundDue);
      timer = std::make_unique<CWaitNDispatch>(platform);
    }
    std::wstring unusedClass;
    try {
      seen.titlePresent = findTitledWindow(platform, title, unusedClass) != 0;
    } catch (const Failure& failure) {
      seen.searchFailure = failure;  // passed over for this round: the title counts as present
    }
    observeRound(seen);
    if (!seen.titlePresent) {
      titleGone = 1;
      break;
    }
  }
  timer.reset();
  return titleGone;
}

}  // namespace halvik
