#include "platform/win32/network.h"

#include "platform/win32/unique_handle.h"

namespace korvana::win32 {
namespace {

// The five entry points, declared here rather than taken from <wininet.h>: nothing in
// this program may link against wininet.dll.
using HINTERNET_ = void*;
using InternetOpenWFunction = HINTERNET_(WINAPI*)(LPCWSTR agent, DWORD accessType,
                                                  LPCWSTR proxy, LPCWSTR proxyBypass,
                                                  DWORD flags);
using InternetOpenUrlWFunction = HINTERNET_(WINAPI*)(HINTERNET_ session, LPCWSTR url,
                                                     LPCWSTR headers, DWORD headersLength,
                                                     DWORD flags, DWORD_PTR context);
using HttpQueryInfoWFunction = BOOL(WINAPI*)(HINTERNET_ request, DWORD infoLevel, LPVOID buffer,
                                             DWORD* bufferLength, DWORD* index);
using InternetReadFileFunction = BOOL(WINAPI*)(HINTERNET_ file, LPVOID buffer,
                                               DWORD bytesToRead, DWORD* bytesRead);
using InternetCloseHandleFunction = BOOL(WINAPI*)(HINTERNET_ handle);

}  // namespace

InternetToken Win32Network::OpenSession(const std::wstring& agent, std::uint32_t accessType) {
  auto open = library_.Find<InternetOpenWFunction>("InternetOpenW");
  if (open == nullptr) return InternetToken{};
  return ToToken<InternetToken>(open(agent.c_str(), accessType, nullptr, nullptr, 0));
}

InternetToken Win32Network::OpenUrl(InternetToken session, const std::wstring& url,
                                    std::uint32_t flags) {
  auto openUrl = library_.Find<InternetOpenUrlWFunction>("InternetOpenUrlW");
  if (openUrl == nullptr) return InternetToken{};
  return ToToken<InternetToken>(
      openUrl(FromToken<HINTERNET_>(session), url.c_str(), nullptr, 0, flags, 0));
}

Read<std::wstring> Win32Network::QueryHeader(InternetToken request, std::uint32_t infoLevel) {
  auto queryInfo = library_.Find<HttpQueryInfoWFunction>("HttpQueryInfoW");
  if (queryInfo == nullptr) return {};
  wchar_t header[260] = {};  // 520 bytes, the terminating null included
  DWORD bytes = sizeof header;
  DWORD index = 0;
  if (!queryInfo(FromToken<HINTERNET_>(request), infoLevel, header, &bytes, &index)) return {};
  // The byte count written, less the null; never more than the buffer holds.
  const DWORD characters = bytes / sizeof(wchar_t);
  return {true, std::wstring(header, characters < 260 ? characters : 260), 0};
}

bool Win32Network::ReadData(InternetToken request, void* buffer, std::uint32_t size,
                            std::uint32_t* read) {
  auto readFile = library_.Find<InternetReadFileFunction>("InternetReadFile");
  if (readFile == nullptr) return false;
  DWORD bytes = 0;
  const BOOL ok = readFile(FromToken<HINTERNET_>(request), buffer, size, &bytes);
  *read = bytes;
  return ok != FALSE;
}

void Win32Network::CloseInternetHandle(InternetToken handle) {
  if (auto close = library_.Find<InternetCloseHandleFunction>("InternetCloseHandle")) {
    close(FromToken<HINTERNET_>(handle));
  }
}

}  // namespace korvana::win32
