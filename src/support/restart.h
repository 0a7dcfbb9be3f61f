// Asks Windows to restart the computer.
#pragma once

#include "platform/platform.h"

namespace korvana {

// Enables the shutdown privilege and calls ExitWindowsEx (EWX_REBOOT, plus
// EWX_RESTARTAPPS from Vista on). True when Windows accepted the request.
bool RestartComputer(SystemProbes& system, PowerControl& power);

// The outcome of a restart request, in the run's log.
void LogRestart(Platform& platform, bool accepted);

}  // namespace korvana
