// Local time and the standard output.
#pragma once

#include "platform/clock.h"

namespace korvana::win32 {

class Win32Clock final : public Clock {
 public:
  LocalTime Now() override;
  LocalTime PreciseNow() override;
};

class Win32StandardOutput final : public StandardOutput {
 public:
  void WriteLine(const std::wstring& text) override;
};

}  // namespace korvana::win32
