// Questions about the running system: rights, version, architecture, language.
#pragma once

#include "platform/system_probes.h"
#include "platform/win32/windows_api.h"

namespace korvana::win32 {

class Win32SystemProbes final : public SystemProbes {
 public:
  bool IsUserAnAdmin() override;
  bool IsBelowServicePack(std::uint32_t major, std::uint32_t minor,
                          std::uint16_t servicePack) override;
  NtVersion GetNtVersion() override;
  std::optional<bool> IsWow64() override;
  std::optional<std::uint16_t> NativeMachine() override;
  std::uint16_t GetUserDefaultUILanguage() override;
  bool IsModuleLoaded(const std::wstring& name) override;

 private:
  // IsWow64Process's entry, null where kernel32 lacks it; looked up once, at the first
  // call that finds kernel32 (a program that imports kernel32 always does). The cache
  // is the one the program always had. IsWow64Process2's entry is looked up at each call
  // instead: it is asked a few times a run (the log's system line, each version read),
  // each time a GetProcAddress in a module already loaded, so a cache would buy nothing.
  bool isWow64ProcessLooked_ = false;
  FARPROC isWow64Process_ = nullptr;
};

// shell32's IsUserAnAdmin has always been reachable by ordinal 680 (by name only from
// later systems on).
inline constexpr WORD kIsUserAnAdminOrdinal = 680;

}  // namespace korvana::win32
