#pragma once

// The window and process operations: functions over the seam, each file of this folder one kind.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/failure.h"
#include "platform/platform.h"
#include "wait/c_wait_n_dispatch.h"

namespace halvik {

// Window lookup and text readers (window_lookup.cpp).

// The most characters a title or class name is read with.
constexpr std::size_t TextBufferChars = 254;

// The first top-level window, in Z-order from the top, whose title contains the text, ignoring
// case under the user's locale; 0 when none does. On a match windowClass receives its class name.
// Throws Failure when the windows cannot be listed or a text cannot be mapped.
WindowHandle findTitledWindow(Platform& platform, const std::wstring& text,
                              std::wstring& windowClass);

// The first top-level window in Z-order that the process owns and that has no parent or owner.
WindowHandle firstWindowOfProcess(Platform& platform, ProcessId process);

// The application's main window: the first visible top-level window in Z-order that the process
// owns and that has no owner at all; when it shows none, its first window as above.
WindowHandle mainWindowOfProcess(Platform& platform, ProcessId process);

std::wstring windowTitle(Platform& platform, WindowHandle window);
std::wstring windowClassName(Platform& platform, WindowHandle window);

// Close request and forced end (close_and_kill.cpp).

// What came of the close request: whether the system queued it, and whether the window still
// existed right after it.
struct CloseRequest {
  PostedMessage posted;
  bool stillExists = false;
};

// Posts the close request and returns at once. For window 0, nothing is posted.
CloseRequest requestClose(Platform& platform, WindowHandle window);

// What came of a forced end: the system accepted it, the program refused it (every reason is listed
// in sparing_rules.cpp), or a system call failed (the reason names it, with its error code).
struct ForcedEnd {
  enum class Kind { Done, Refused, Failed };
  Kind kind = Kind::Done;
  const char* reason = "";  // the refusal, or the call that failed
  std::uint32_t error = 0;

  static ForcedEnd done() { return {}; }
  static ForcedEnd refusedBy(const char* reason) { return {Kind::Refused, reason, 0}; }
  static ForcedEnd failed(const char* call, std::uint32_t error) {
    return {Kind::Failed, call, error};
  }
  bool accepted() const { return kind == Kind::Done; }
};

// Asks the system to end the process and does not wait for it. A critical process is never asked.
ForcedEnd endProcess(Platform& platform, ProcessId process);

// Sparing rules (sparing_rules.cpp).

// The refusal that spares the process from the forced end (see sparing_rules.cpp); null for none.
enum class TargetNaming { ByTitle, ByProcessId };
const char* sparingRule(Platform& platform, ProcessId process, TargetNaming naming);

// The file name of the process's program in lower case, as the sparing rules match it; empty when
// it cannot be read.
std::wstring programName(Platform& platform, ProcessId process);

// Disappearance poll (disappearance_poll.cpp).

constexpr std::int16_t MaxWaitRounds = 50;
constexpr std::int32_t WaitRoundMilliseconds = 1000;

// What one round of the poll saw. A search that failed counts as the title present.
struct PollRound {
  std::int16_t round;
  bool titlePresent;
  std::optional<Failure> searchFailure;  // none when the search worked
  std::optional<Failure> waitFailure;    // none when the round's wait was made
};

// Waits a round of one second at a time, dispatching messages, until no top-level window carries
// the title: 1 then, 0 when one still does after the last round. The round's wait object is held
// in timer for the length of the poll, and each round's verdict goes to the observer. A round whose
// wait cannot be made is waited out without it, and the next round gets a new one.
std::int16_t pollUntilTitleGone(Platform& platform, std::unique_ptr<CWaitNDispatch>& timer,
                                const std::wstring& title,
                                const std::function<void(const PollRound&)>& observeRound);

}  // namespace halvik
