// HTTP(S) through WinINet, reached through wininet.dll loaded from the System32
// folder at the first call (which may come from a worker thread) and never unloaded.
#pragma once

#include "platform/network.h"
#include "platform/win32/system_library.h"

namespace korvana::win32 {

class Win32Network final : public Network {
 public:
  // `libraryName`: the file in the System32 folder; tests name a missing one to see
  // every operation fail cleanly.
  explicit Win32Network(const wchar_t* libraryName = L"wininet.dll") : library_(libraryName) {}

  InternetToken OpenSession(const std::wstring& agent, std::uint32_t accessType) override;
  InternetToken OpenUrl(InternetToken session, const std::wstring& url,
                        std::uint32_t flags) override;
  Read<std::wstring> QueryHeader(InternetToken request, std::uint32_t infoLevel) override;
  bool ReadData(InternetToken request, void* buffer, std::uint32_t size,
                std::uint32_t* read) override;
  void CloseInternetHandle(InternetToken handle) override;

 private:
  SystemLibrary library_;
};

}  // namespace korvana::win32
