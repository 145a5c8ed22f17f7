// Visual Studio's C runtime declares these two; MinGW-w64 10's <stdlib.h> lacks them, and libc++'s
// <locale> calls them when it is built for Visual Studio's runtime. Only C++ is checked.
#pragma once
#include_next <stdlib.h>
extern "C" float __cdecl _strtof_l(const char *, char **, _locale_t);
extern "C" long double __cdecl _strtold_l(const char *, char **, _locale_t);
