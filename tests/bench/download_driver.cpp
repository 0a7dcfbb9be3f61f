// download_driver URL: runs the program's own browser download (the Win32 platform and
// korvana::DownloadBrowserInstaller, as the completion dialog's worker calls it, but
// into the current directory rather than a download folder of its own) once, and
// reports what it cost:
//
//   name             <the file name from Content-Disposition, empty on failure>
//   seconds          <wall time of the download call, QueryPerformanceCounter>
//   peak_before      <PeakWorkingSetSize before the call, bytes>
//   peak_working_set <PeakWorkingSetSize after it, bytes>
//
// one "key\tvalue" line each. Exit code 0 when a file was saved, 1 when the download
// failed, 2 on usage. bench/download runs it under Wine against a local server.
#include "platform/win32/windows_api.h"  // first: <windows.h> made to live beside the seam

#include <psapi.h>

#include <cstdio>
#include <string>

#include "browser_offer/browser_download.h"
#include "platform/win32/win32_platform.h"

namespace {

SIZE_T PeakWorkingSet() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return counters.PeakWorkingSetSize;
}

// The name as UTF-8: it came from a server and may hold any character.
std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                      nullptr, nullptr);
  return bytes;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fputs("usage: download_driver URL\n", stderr);
    return 2;
  }
  korvana::win32::Win32Platform win32(GetModuleHandleW(nullptr));
  korvana::StopRequest stop{false};
  bool schannelPatchDone = false;

  SIZE_T before = PeakWorkingSet();
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  std::wstring saved;
  const bool downloaded = korvana::DownloadBrowserInstaller(win32.platform(), argv[1], L".", stop,
                                                            schannelPatchDone, saved);
  QueryPerformanceCounter(&end);
  const std::wstring name = downloaded ? saved.substr(2) : std::wstring();  // less ".\"
  SIZE_T after = PeakWorkingSet();

  double seconds = static_cast<double>(end.QuadPart - start.QuadPart) /
                   static_cast<double>(frequency.QuadPart);
  std::printf("name\t%s\nseconds\t%.6f\npeak_before\t%lu\npeak_working_set\t%lu\n",
              Utf8(name).c_str(), seconds, static_cast<unsigned long>(before),
              static_cast<unsigned long>(after));
  return name.empty() ? 1 : 0;
}
