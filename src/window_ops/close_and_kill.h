#pragma once

#include "platform/platform.h"

namespace halvik {

// Posts the close request and returns at once; true while the window still exists right after it.
bool requestClose(Platform& platform, WindowHandle window);

// Asks the system to end the process and does not wait for it; true when the system accepted.
bool endProcess(Platform& platform, ProcessId process);

}  // namespace halvik
