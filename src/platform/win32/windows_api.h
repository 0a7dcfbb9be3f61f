// <windows.h> for the Win32 side of the seam, made to live beside platform.h.
//
// A few Win32 headers define macros named like methods of the seam's interfaces
// (DeleteFile, GetWindowsDirectory, ExitWindows, ...). Left alone they would
// rename our overrides to the A/W variants (or, for ExitWindows, expand to a call).
// Every Win32 source of ours includes this header instead of <windows.h> and calls
// the ...W functions by their full names.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

#undef DeleteFile
#undef GetWindowsDirectory
#undef GetSystemDirectory
#undef ExitWindows
#undef GetCurrentDirectory
#undef CreateFile
#undef PostMessage
#undef OpenService
#undef LoadLibrary

namespace korvana::win32 {
// What a call wrote into `buffer`, up to (not including) its first null.
inline std::wstring UpToFirstNull(const wchar_t* buffer, std::size_t capacity) {
  std::size_t n = 0;
  while (n < capacity && buffer[n] != L'\0') ++n;
  return std::wstring(buffer, n);
}
}  // namespace korvana::win32
