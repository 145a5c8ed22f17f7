// stand_in_host_server.exe: the stand-in host object in a process of its own, as COM starts a
// local server ("-Embedding"). One server serves every caller, each call on a thread of COM's
// (a multithreaded apartment), so one call that never answers holds up no other. It ends once it
// has been idle for a while, whatever objects callers still hold: a caller that gave up on a call
// may never release its object, and the test runner waits for every process that inherited its
// output (under Wine, a server started by a test's program inherits the test's).

#include "stand_in_host.h"

#include "platform/win32/com.h"

namespace {

constexpr ULONGLONG IdleMilliseconds = 5000;
// Whatever happens, a broken test run cannot leave the server behind for longer than this.
constexpr ULONGLONG LifetimeMilliseconds = 300000;
constexpr DWORD CheckMilliseconds = 250;

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const ULONGLONG started = GetTickCount64();
  const halvik::win32::ComApartment apartment(COINIT_MULTITHREADED);
  DWORD registration = 0;
  if (FAILED(CoRegisterClassObject(stand_in_host::ClassId, stand_in_host::factory(),
                                   CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &registration))) {
    return 2;
  }
  while (GetTickCount64() - started < LifetimeMilliseconds &&
         stand_in_host::idleMilliseconds() < IdleMilliseconds) {
    Sleep(CheckMilliseconds);
  }
  CoRevokeClassObject(registration);
  return 0;
}
