#include "driver/halvik_form.h"
#include "platform/failure.h"

namespace halvik {

// 1 once no top-level window carries the title, checked after each round of one second (never at
// once); 0 when one still does after the last round. A search that fails tells nothing, so the
// title counts as present for that round and the poll goes on: one bad moment must not cut the
// application's grace period short. Only a wait that cannot be made leaves the poll early, with
// that failure, and timer still holding its object.
std::int16_t HalvikForm::waitForNoWindow(const std::wstring& Title) {
  timer = std::make_unique<CWaitNDispatch>(platform_);
  std::int16_t titleGone = 0;
  for (std::int16_t round = 1; round <= MaxWaitRounds; ++round) {
    timer->Wait(WaitRoundMilliseconds);
    std::wstring unusedClass;
    bool titlePresent = true;
    try {
      titlePresent = fEnumWindows(Title, unusedClass) != 0;
    } catch (const Failure&) {
      // Passed over for this round: the title counts as present.
    }
    if (!titlePresent) {
      titleGone = 1;
      break;
    }
  }
  timer.reset();
  return titleGone;
}

}  // namespace halvik
