// The bootstrapper's own log, UTF-8, in the file the logic names.
#pragma once

#include <vector>

#include "platform/run_log.h"
#include "platform/win32/unique_handle.h"

namespace korvana::win32 {

class Win32Log final : public Log {
 public:
  Win32Log() { ::InitializeCriticalSection(&lock_); }
  Win32Log(const Win32Log&) = delete;
  Win32Log& operator=(const Win32Log&) = delete;

  void Write(const std::wstring& text) override;
  Status Create(const std::wstring& path) override;
  void Abandon() override;

 private:
  void Put(const char* bytes, std::size_t size);

  CRITICAL_SECTION lock_;  // the browser worker writes too
  UniqueFileHandle file_;
  bool keeping_ = true;     // no file yet: lines wait in `kept_`
  std::vector<char> kept_;  // UTF-8, as they will be written
};

}  // namespace korvana::win32
