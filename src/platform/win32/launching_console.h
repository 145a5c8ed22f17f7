#pragma once

#include "platform/platform.h"

namespace halvik::win32 {

// The console of the program that started this one, and the window that holds it. Must run before
// any other thread exists: it attaches to that console for a moment.
LaunchingConsole findLaunchingConsole();

}  // namespace halvik::win32
