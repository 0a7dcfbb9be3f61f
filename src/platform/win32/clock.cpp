#include "platform/win32/clock.h"

#include <cstdio>
#include <ctime>

namespace korvana::win32 {

LocalTime Win32Clock::Now() {
  const std::time_t now = std::time(nullptr);
  const std::tm* local = std::localtime(&now);
  if (local == nullptr) return {};
  return {local->tm_year + 1900, local->tm_mon + 1, local->tm_mday,
          local->tm_hour,        local->tm_min,     local->tm_sec};
}

void Win32Clock::WriteLine(const std::wstring& text) { ::_putws(text.c_str()); }

}  // namespace korvana::win32
