// The steps of a restart request.
#pragma once

#include "platform/power_control.h"

namespace korvana::win32 {

class Win32PowerControl final : public PowerControl {
 public:
  std::optional<Status> EnableShutdownPrivilege() override;
  bool ExitWindows(std::uint32_t flags, std::uint32_t reason) override;
};

}  // namespace korvana::win32
