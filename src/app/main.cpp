#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <exception>

#include "driver/halvik_form.h"
#include "platform/win32/win32_platform.h"

namespace {

// The exit status of a run that finished, and of one that could not; the host keeps what it was
// last told.
constexpr UINT RunFinished = 0;
constexpr UINT RunAbandoned = 1;

// Ends the process on the spot: no more of its code runs, nor of a host loaded into it (no exit
// handlers, no DLL notifications).
[[noreturn]] void endNow(UINT status) {
  TerminateProcess(GetCurrentProcess(), status);
  std::_Exit(static_cast<int>(status));  // not reached; TerminateProcess does not return
}

// Whatever failed may have left the program, or a host loaded into it, in any state.
[[noreturn]] void endQuietly() { endNow(RunAbandoned); }

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

// Creates the one window object, which does the whole job as it loads, and releases the host on
// the way out.
UINT runForm(halvik::Platform& platform) {
  try {
    halvik::HalvikForm form(platform);
    form.Form_Load();
  } catch (const std::exception&) {
    // Only exhaustion (out of memory) gets here.
    return RunAbandoned;
  }
  return RunFinished;
}

}  // namespace

// Runs the form and exits. The exit status carries no outcome: the host variable does.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  neverShowAFailure();
  halvik::win32::Win32Platform platform;
  const UINT status = runForm(platform);
  // The last lines of the trace were queued a moment ago; a stalled viewer costs this moment only.
  platform.finishTrace();
  // The host has been released and its call thread ended or left behind, within the call limit.
  // What remains of host code in the process may still hold an ordinary exit for good: ExitProcess
  // first takes the loader lock, which a thread unloading the host's DLL may hold forever (COM's
  // host thread for an apartment-threaded object unloads it once the call thread has left its
  // apartment), then notifies every DLL and runs the exit handlers. So after a host, nothing runs.
  if (platform.hostObjectRequested()) endNow(status);
  return static_cast<int>(status);
}
