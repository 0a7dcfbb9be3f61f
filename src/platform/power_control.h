// The steps of a restart request; RestartComputer (support/restart.h) orders them.
#pragma once

#include <optional>

#include "platform/tokens.h"

namespace korvana {

class PowerControl {
 public:
  virtual ~PowerControl() = default;
  // OpenProcessToken(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY), LookupPrivilegeValueW
  // ("SeShutdownPrivilege") and AdjustTokenPrivileges(SE_PRIVILEGE_ENABLED).
  // nullopt when the token cannot be opened, else GetLastError right after the adjust.
  [[nodiscard]] virtual std::optional<Status> EnableShutdownPrivilege() = 0;
  // ExitWindowsEx.
  [[nodiscard]] virtual bool ExitWindows(std::uint32_t flags, std::uint32_t reason) = 0;
};

}  // namespace korvana
