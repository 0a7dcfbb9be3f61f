// The bootstrapper's own log: %TMP%\korvana-setup_<start stamp>.log, UTF-8.
#pragma once

#include "platform/platform.h"
#include "platform/win32/unique_handle.h"

namespace korvana::win32 {

class Win32Log final : public Log {
 public:
  // `start`: the run's start, whose stamp names the file.
  explicit Win32Log(const LocalTime& start);
  Win32Log(const Win32Log&) = delete;
  Win32Log& operator=(const Win32Log&) = delete;

  void Write(const std::wstring& line) override;

 private:
  void Open();

  LocalTime start_;
  CRITICAL_SECTION lock_;  // the browser worker writes too
  bool openTried_ = false;
  UniqueFileHandle file_;
};

}  // namespace korvana::win32
