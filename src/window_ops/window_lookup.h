#pragma once

#include <cstddef>
#include <string>

#include "platform/platform.h"

namespace halvik {

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

}  // namespace halvik
