#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <exception>

#include "driver/halvik_form.h"
#include "platform/win32/win32_platform.h"

namespace {

// The exit status of a run that could not finish; the host keeps what it was last told.
constexpr UINT RunAbandoned = 1;

// Ends the process on the spot. Whatever failed may have left the program, or a host loaded into
// it, in any state, so no more of its code runs: no exit handlers, no DLL notifications.
[[noreturn]] void endQuietly() {
  TerminateProcess(GetCurrentProcess(), RunAbandoned);
  std::_Exit(static_cast<int>(RunAbandoned));  // not reached; TerminateProcess does not return
}

void __cdecl endOnInvalidParameter(const wchar_t*, const wchar_t*, const wchar_t*, unsigned int,
                                   std::uintptr_t) {
  endQuietly();
}

// The program runs unattended, so however it fails it must not leave a dialog waiting for a click.
// - The system: no box for a critical error (a drive not ready) or a file it cannot open, and no
//   Windows Error Reporting dialog for a crash.
// - The C runtime's own messages. MinGW links msvcrt.dll, whose abort() and runtime errors
//   (R6xxx) show a message box in a program with the GUI subsystem unless the error mode sends
//   them to standard error, which this program does not have, so they go nowhere. UCRT (MSVC)
//   decides the same way.
// - UCRT's abort() also calls Windows Error Reporting in release builds. msvcrt.dll does not,
//   and has no _set_abort_behavior to turn it off.
// - An invalid parameter to a runtime function would call Windows Error Reporting too.
// - std::terminate: an exception that cannot be thrown further (MinGW's 32-bit exceptions cannot
//   unwind through the system's frames) would print and call abort(); the process ends at once.
void neverShowAFailure() {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  _set_error_mode(_OUT_TO_STDERR);
#if defined(_MSC_VER) || defined(_UCRT)
  _set_abort_behavior(0, _WRITE_ABORT_MSG | _CALL_REPORTFAULT);
#endif
  _set_invalid_parameter_handler(endOnInvalidParameter);
  std::set_terminate(endQuietly);
}

}  // namespace

// Creates the one window object, which does the whole job as it loads, and exits. The exit status
// carries no outcome: the host variable does.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  neverShowAFailure();
  halvik::win32::Win32Platform platform;
  try {
    halvik::HalvikForm form(platform);
    form.Form_Load();
  } catch (const std::exception&) {
    // Only exhaustion (out of memory) gets here.
    return static_cast<int>(RunAbandoned);
  }
  return 0;
}
