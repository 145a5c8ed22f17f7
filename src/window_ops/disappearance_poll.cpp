#include "driver/halvik_form.h"

namespace halvik {

// 1 once no top-level window carries the title, checked after each round of one second (never at
// once); 0 when one still does after the last round. A failing wait leaves the poll with that
// failure, and timer still holding its object.
std::int16_t HalvikForm::waitForNoWindow(const std::wstring& Title) {
  timer = std::make_unique<CWaitNDispatch>(platform_);
  std::int16_t titleGone = 0;
  for (std::int16_t round = 1; round <= MaxWaitRounds; ++round) {
    timer->Wait(WaitRoundMilliseconds);
    std::wstring unusedClass;
    if (fEnumWindows(Title, unusedClass) == 0) {
      titleGone = 1;
      break;
    }
  }
  timer.reset();
  return titleGone;
}

}  // namespace halvik
