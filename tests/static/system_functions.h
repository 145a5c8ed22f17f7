// Every header whose functions halvik.exe may import: check_windows7_imports.cmake preprocesses it
// once for Windows 7 and once for the newest system, and the difference is what Windows 7 lacks.
#include <windows.h>

#include <objbase.h>
#include <oleauto.h>
