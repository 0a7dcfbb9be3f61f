// Questions about the running system: rights, version, architecture, language.
#pragma once

#include "platform/platform.h"
#include "platform/win32/windows_api.h"

namespace korvana::win32 {

class Win32SystemProbes final : public SystemProbes {
 public:
  bool IsUserAnAdmin() override;
  bool VerifyVersion(const VersionQuery& query) override;
  NtVersion GetNtVersion() override;
  ProcLookup FindKernel32Export(const char* name) override;
  std::optional<bool> CallIsWow64Process(std::uintptr_t entry) override;
  std::optional<std::uint16_t> CallIsWow64Process2(std::uintptr_t entry) override;
  std::uint16_t GetUserDefaultUILanguage() override;
  bool IsModuleLoaded(const std::wstring& name) override;
};

// shell32's IsUserAnAdmin has always been reachable by ordinal 680 (by name only from
// later systems on).
inline constexpr WORD kIsUserAnAdminOrdinal = 680;

}  // namespace korvana::win32
