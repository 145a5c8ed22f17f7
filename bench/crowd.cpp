// A crowded desktop: crowd.exe COUNT READY-FILE shows COUNT titled top-level windows, creates
// READY-FILE once they all exist and have settled, and lives until READY-FILE is gone (checked
// twice a second) or ten minutes have passed.

#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

constexpr UINT_PTR CheckTimer = 1;
constexpr DWORD LifetimeMilliseconds = 600000;
// How long the crowd's queue stays empty before the crowd counts as settled.
constexpr DWORD QuietMilliseconds = 1000;

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int arguments = 0;
  wchar_t** argument = CommandLineToArgvW(GetCommandLineW(), &arguments);
  if (!argument || arguments != 3) return 2;
  const int count = _wtoi(argument[1]);
  const std::wstring readyFile = argument[2];

  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = L"HalvikBenchCrowd";
  if (!RegisterClassW(&windowClass)) return 1;
  for (int index = 0; index < count; ++index) {
    const std::wstring title = L"Crowd window " + std::to_wstring(index);
    if (!CreateWindowExW(0, windowClass.lpszClassName, title.c_str(),
                         WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr,
                         instance, nullptr)) {
      return 1;
    }
  }
  // Showing the windows brings seconds of work after them (paints, the display's notices). It is
  // done before the crowd says it is ready, so that no measurement shares the machine with it.
  MSG message;
  while (MsgWaitForMultipleObjects(0, nullptr, FALSE, QuietMilliseconds, QS_ALLINPUT) !=
         WAIT_TIMEOUT) {
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  CloseHandle(CreateFileW(readyFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));

  SetTimer(nullptr, CheckTimer, 500, nullptr);
  const ULONGLONG due = GetTickCount64() + LifetimeMilliseconds;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_TIMER &&
        (GetFileAttributesW(readyFile.c_str()) == INVALID_FILE_ATTRIBUTES ||
         GetTickCount64() >= due)) {
      break;
    }
    DispatchMessageW(&message);
  }
  return 0;
}
