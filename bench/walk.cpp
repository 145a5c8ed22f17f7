// What any program that looks at windows pays: one EnumWindows pass that reads every title, into a
// buffer as large as halvik.exe's.

#include <windows.h>

namespace {

BOOL CALLBACK readTitle(HWND window, LPARAM titlesRead) {
  wchar_t title[255];
  if (GetWindowTextW(window, title, 255) > 0) ++*reinterpret_cast<int*>(titlesRead);
  return TRUE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int titlesRead = 0;
  EnumWindows(readTitle, reinterpret_cast<LPARAM>(&titlesRead));
  return titlesRead > 0 ? 0 : 1;
}
