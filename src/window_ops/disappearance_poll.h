#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "wait/c_wait_n_dispatch.h"

namespace halvik {

constexpr std::int16_t MaxWaitRounds = 50;
constexpr std::int32_t WaitRoundMilliseconds = 1000;

// Waits a round of one second at a time, dispatching messages, until no top-level window carries
// the title: 1 then, 0 when one still does after the last round. The round's wait object is held
// in timer for the length of the poll. Throws Failure when a wait cannot be made.
std::int16_t pollUntilTitleGone(Platform& platform, std::unique_ptr<CWaitNDispatch>& timer,
                                const std::wstring& title);

}  // namespace halvik
