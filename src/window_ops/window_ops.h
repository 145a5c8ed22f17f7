#pragma once

// The window and process operations: functions over the seam, each file of this folder one kind.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

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

// Posts the close request and returns at once; true while the window still exists right after it.
bool requestClose(Platform& platform, WindowHandle window);

// Asks the system to end the process and does not wait for it; true when the system accepted. A
// critical process is never asked to end.
bool endProcess(Platform& platform, ProcessId process);

// Whether the process may be ended by force. A process named by its ID is the user's explicit
// choice; one reached through a window title may be the shell or another that shows windows for
// others, and is spared when its program cannot be told.
enum class TargetNaming { ByTitle, ByProcessId };
bool mayEndProcess(Platform& platform, ProcessId process, TargetNaming naming);

// Disappearance poll (disappearance_poll.cpp).

constexpr std::int16_t MaxWaitRounds = 50;
constexpr std::int32_t WaitRoundMilliseconds = 1000;

// Waits a round of one second at a time, dispatching messages, until no top-level window carries
// the title: 1 then, 0 when one still does after the last round. The round's wait object is held
// in timer for the length of the poll; a round whose wait cannot be made is waited out without
// it, and the next round gets a new one.
std::int16_t pollUntilTitleGone(Platform& platform, std::unique_ptr<CWaitNDispatch>& timer,
                                const std::wstring& title);

}  // namespace halvik
