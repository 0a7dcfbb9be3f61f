// HTTP(S) through WinINet (wininet.dll, from System32 only).
#pragma once

#include <string>

#include "platform/tokens.h"

namespace korvana {

class Network {
 public:
  virtual ~Network() = default;
  // InternetOpenW(agent, accessType, no proxy, no bypass list, no flags).
  virtual InternetToken OpenSession(const std::wstring& agent, std::uint32_t accessType) = 0;
  // InternetOpenUrlW(session, url, no headers, flags, context 0).
  virtual InternetToken OpenUrl(InternetToken session, const std::wstring& url,
                                std::uint32_t flags) = 0;
  // HttpQueryInfoW(request, infoLevel, 520 bytes, index 0): the header's text, as many
  // characters as the call reports. Not ok (status 0) when the call fails, as it does
  // for a header of 260 characters or more.
  virtual Read<std::wstring> QueryHeader(InternetToken request, std::uint32_t infoLevel) = 0;
  // InternetReadFile: up to `size` bytes; *read is the count.
  [[nodiscard]] virtual bool ReadData(InternetToken request, void* buffer, std::uint32_t size,
                        std::uint32_t* read) = 0;
  virtual void CloseInternetHandle(InternetToken handle) = 0;  // InternetCloseHandle
};

using InternetHandle = ScopedToken<Network, InternetToken, &Network::CloseInternetHandle>;

}  // namespace korvana
