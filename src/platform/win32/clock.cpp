#include "platform/win32/clock.h"

#include <cstdio>
#include <ctime>

#include "platform/win32/windows_api.h"

namespace korvana::win32 {

LocalTime Win32Clock::Now() {
  const std::time_t now = std::time(nullptr);
  const std::tm* local = std::localtime(&now);
  if (local == nullptr) return {};
  return {local->tm_year + 1900, local->tm_mon + 1, local->tm_mday,
          local->tm_hour,        local->tm_min,     local->tm_sec};
}

LocalTime Win32Clock::PreciseNow() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  return {now.wYear,   now.wMonth,  now.wDay, now.wHour, now.wMinute, now.wSecond,
          now.wMilliseconds};
}

void Win32StandardOutput::WriteLine(const std::wstring& text) { ::_putws(text.c_str()); }

}  // namespace korvana::win32
