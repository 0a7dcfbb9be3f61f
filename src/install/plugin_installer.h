// Installs, reinstalls or updates the plug-in: decides the case, asks where the case
// needs an answer, chooses the installer properties and runs msiexec.
#pragma once

#include <string>

#include "options/setup_options.h"
#include "packages/package_locator.h"
#include "platform/platform.h"

namespace korvana {

// How the plug-in's installation ended. `status`: 0 on success or when nothing had
// to be done; 1602 when the user declined the reinstall; 1 when the user declined
// the update; 1638 when a newer version is installed (interactive); otherwise the
// failing step's status or msiexec's exit code. `failed` asks the caller to report
// the status in the failure box; the user's own No, and an installer that was
// cancelled or found a newer version, are not reported again.
struct PluginResult {
  Status status = 0;
  bool failed = false;
};

// `logPath` receives the installer log's path when one is named.
PluginResult InstallPlugin(Platform& platform, PackageLocator& locator, const SetupOptions& options,
                           bool silent, bool reinstall, std::wstring installerArguments,
                           std::wstring& logPath);

}  // namespace korvana
