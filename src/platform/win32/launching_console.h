#pragma once

#include "platform/platform.h"

namespace halvik::win32 {

// The console of the program that started this one (launcher, 0 for none), and the window that
// holds it. Must run before any other thread exists: it attaches to that console for a moment.
LaunchingConsole findLaunchingConsole(ProcessId launcher);

}  // namespace halvik::win32
