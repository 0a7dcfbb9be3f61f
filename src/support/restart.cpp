#include "support/restart.h"

#include "platform/win_constants.h"
#include "support/log_event.h"

namespace korvana {

bool RestartComputer(SystemProbes& system, PowerControl& power) {
  // AdjustTokenPrivileges reports a privilege the user lacks (ERROR_NOT_ALL_ASSIGNED)
  // with a successful return, so the last error decides.
  std::optional<Status> adjusted = power.EnableShutdownPrivilege();
  if (!adjusted || *adjusted != 0) return false;

  // EWX_RESTARTAPPS exists from Vista on; earlier systems reject unknown flags.
  std::uint32_t flags = win::EWX_REBOOT;
  if (system.GetNtVersion().major >= 6) flags |= win::EWX_RESTARTAPPS;
  return power.ExitWindows(flags, win::SHTDN_REASON_MAJOR_APPLICATION);
}

void LogRestart(Platform& platform, bool accepted) {
  LogEvent(platform, {accepted ? L"restart: requested" : L"restart: refused by Windows"});
}

}  // namespace korvana
