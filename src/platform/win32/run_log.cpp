#include "platform/win32/run_log.h"

#include <string>
#include <vector>

#include "support/text.h"

namespace korvana::win32 {

Win32Log::Win32Log(const LocalTime& start) : start_(start) { ::InitializeCriticalSection(&lock_); }

#ifdef KORVANA_MEASURE_WITHOUT_LOG
// bench/size builds the program once without its log, to tell what the log costs.
void Win32Log::Write(const std::wstring&) {}
#else
// Opened at the first line, in TMP as the installers' logs are. Without TMP, or where
// it cannot be written, there is no log and the run goes on as ever. An existing file
// (another run in the same second) is added to, never cut short.
void Win32Log::Open() {
  openTried_ = true;
  wchar_t tmp[1024];
  const DWORD length = ::GetEnvironmentVariableW(L"TMP", tmp, sizeof tmp / sizeof tmp[0]);
  if (length == 0 || length >= sizeof tmp / sizeof tmp[0]) return;
  const std::wstring path =
      std::wstring(tmp, length) + L"\\korvana-setup_" + FormatTimeStamp(start_) + L".log";
  file_.reset(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

void Win32Log::Write(const std::wstring& line) {
  ::EnterCriticalSection(&lock_);
  if (!openTried_) Open();
  if (file_) {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    std::wstring text = ZeroPadded(now.wHour, 2) + L':' + ZeroPadded(now.wMinute, 2) + L':' +
                        ZeroPadded(now.wSecond, 2) + L'.' + ZeroPadded(now.wMilliseconds, 3) + L' ';
    text.reserve(text.size() + line.size() + 2);
    // One event, one line: line breaks inside a text are written as \n.
    for (wchar_t c : line) {
      if (c == L'\n') text += L"\\n";
      else if (c != L'\r') text += c;
    }
    text += L"\r\n";
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                            nullptr, 0, nullptr, nullptr);
    if (bytes > 0) {
      // Not std::string: the library's prebuilt narrow string would bring its
      // exception machinery into the executable.
      std::vector<char> utf8(static_cast<std::size_t>(bytes));
      ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(),
                            bytes, nullptr, nullptr);
      DWORD written = 0;
      ::WriteFile(file_.get(), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    }
  }
  ::LeaveCriticalSection(&lock_);
}
#endif

}  // namespace korvana::win32
