#include <windows.h>

#include <exception>

#include "driver/halvik_form.h"
#include "platform/win32/win32_platform.h"

// Creates the one window object, which does the whole job as it loads, and exits. The exit status
// carries no outcome: the host variable does.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  halvik::win32::Win32Platform platform;
  try {
    halvik::HalvikForm form(platform);
    form.Form_Load();
  } catch (const std::exception&) {
    // Only exhaustion (out of memory) gets here; the host keeps what it was last told.
    return 1;
  }
  return 0;
}
