#include "platform/win32/run_log.h"

#include <string>

namespace korvana::win32 {
namespace {

// Lines kept before the file exists stop here: a run writes a few kilobytes.
constexpr std::size_t kKeptLimit = 64 * 1024;

}  // namespace

#ifdef KORVANA_MEASURE_WITHOUT_LOG
// bench/size builds the program once without its log, to tell what the log costs.
void Win32Log::Write(const std::wstring&) {}
Status Win32Log::Create(const std::wstring&) { return ERROR_FILE_NOT_FOUND; }
void Win32Log::Abandon() {}
void Win32Log::Put(const char*, std::size_t) {}
#else
void Win32Log::Put(const char* bytes, std::size_t size) {
  if (file_) {
    DWORD written = 0;
    ::WriteFile(file_.get(), bytes, static_cast<DWORD>(size), &written, nullptr);
  } else if (keeping_ && kept_.size() + size <= kKeptLimit) {
    kept_.insert(kept_.end(), bytes, bytes + size);
  }
}

void Win32Log::Write(const std::wstring& text) {
  const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                          nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return;
  // Not std::string: the library's prebuilt narrow string would bring its exception
  // machinery into the executable.
  std::vector<char> utf8(static_cast<std::size_t>(bytes));
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), bytes,
                        nullptr, nullptr);
  const CriticalSectionLock hold(lock_);
  Put(utf8.data(), utf8.size());
}

Status Win32Log::Create(const std::wstring& path) {
  // CREATE_NEW: a file planted under the name, or a link there, is never written to;
  // FILE_FLAG_OPEN_REPARSE_POINT so no reparse point on the last component is followed.
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return ::GetLastError();
  const CriticalSectionLock hold(lock_);
  file_.reset(file);
  keeping_ = false;
  Put(kept_.data(), kept_.size());
  kept_.clear();
  kept_.shrink_to_fit();
  return 0;
}

void Win32Log::Abandon() {
  const CriticalSectionLock hold(lock_);
  keeping_ = false;
  kept_.clear();
  kept_.shrink_to_fit();
}
#endif

}  // namespace korvana::win32
