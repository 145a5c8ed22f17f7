// The floor of every measurement: a Windows GUI program that does nothing at all.

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
