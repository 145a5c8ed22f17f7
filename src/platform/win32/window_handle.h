#pragma once

#include <windows.h>

#include "platform/platform.h"

namespace halvik::win32 {

// The program holds window handles as signed 32-bit numbers in both builds. The handles Windows
// gives out fit 32 bits, and a 64-bit process sees them sign-extended, so the conversion back
// must sign-extend too.
inline HWND toHwnd(WindowHandle window) {
  return reinterpret_cast<HWND>(static_cast<INT_PTR>(window));
}

inline WindowHandle fromHwnd(HWND window) {
  return static_cast<WindowHandle>(reinterpret_cast<INT_PTR>(window));
}

}  // namespace halvik::win32
