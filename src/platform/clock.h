// Clock and standard output.
#pragma once

#include <string>

namespace korvana {

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Now() = 0;         // time + localtime, to the second
  virtual LocalTime PreciseNow() = 0;  // GetLocalTime, to the millisecond
};

class StandardOutput {
 public:
  virtual ~StandardOutput() = default;
  virtual void WriteLine(const std::wstring& text) = 0;  // _putws
};

}  // namespace korvana
