// The restart a successful installation may need: the marker that remembers it from
// the installer's end to the run's, and the request to Windows.
#pragma once

#include "platform/platform.h"

namespace korvana {

// The marker is a key under HKEY_CURRENT_USER whose mere existence says "restart
// needed"; whoever left it (this run's installer, an earlier run that died) counts.
// Created when msiexec asks for a restart; a marker that cannot be written costs only
// the restart, never the installation's success.
void CreateRestartMarker(Platform& platform);

// Whether the marker is there; it is deleted either way, so it counts once.
bool TakeRestartMarker(Platform& platform);

// Enables the shutdown privilege and calls ExitWindowsEx (EWX_REBOOT, plus
// EWX_RESTARTAPPS from Vista on). True when Windows accepted the request.
bool RestartComputer(SystemProbes& system, PowerControl& power);

// The outcome of a restart request, in the run's log.
void LogRestart(Platform& platform, bool accepted);

}  // namespace korvana
