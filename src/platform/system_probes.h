// Questions about the running system.
#pragma once

#include <optional>
#include <string>

#include "platform/tokens.h"

namespace korvana {

struct NtVersion {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
};

class SystemProbes {
 public:
  virtual ~SystemProbes() = default;
  virtual bool IsUserAnAdmin() = 0;  // shell32 ordinal 680
  // Whether the system is exactly `major`.`minor` with a service-pack major number
  // below `servicePack` (VerifyVersionInfoW); a failed call is false.
  virtual bool IsBelowServicePack(std::uint32_t major, std::uint32_t minor,
                                  std::uint16_t servicePack) = 0;
  // RtlGetNtVersionNumbers: the true major and minor version.
  virtual NtVersion GetNtVersion() = 0;
  // Whether this is a 32-bit process on 64-bit Windows: IsWow64Process, its entry looked
  // up in kernel32 once for the process. nullopt without the export or when the call fails.
  virtual std::optional<bool> IsWow64() = 0;
  // The machine's own architecture (IMAGE_FILE_MACHINE_...): IsWow64Process2, looked up
  // in kernel32 at every call. nullopt without the export or when the call fails.
  virtual std::optional<std::uint16_t> NativeMachine() = 0;
  virtual std::uint16_t GetUserDefaultUILanguage() = 0;
  // GetModuleHandleW(name) != NULL; loads nothing.
  virtual bool IsModuleLoaded(const std::wstring& name) = 0;
};

}  // namespace korvana
