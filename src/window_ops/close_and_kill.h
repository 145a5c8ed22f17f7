#pragma once

#include "platform/platform.h"

namespace halvik {

// Posts the close request and returns at once; true while the window still exists right after it.
bool requestClose(Platform& platform, WindowHandle window);

// Asks the system to end the process and does not wait for it; true when the system accepted.
bool endProcess(Platform& platform, ProcessId process);

// Whether the process may be ended by force. A process named by its ID is the user's explicit
// choice; one reached through a window title may belong to a bystander.
enum class TargetNaming { ByTitle, ByProcessId };
bool mayEndProcess(Platform& platform, ProcessId process, TargetNaming naming);

}  // namespace halvik
