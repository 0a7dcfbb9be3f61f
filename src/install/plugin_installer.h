// Installs, reinstalls or updates the plug-in: decides the case, asks where the case
// needs an answer, chooses the installer properties and runs msiexec.
#pragma once

#include <string>

#include "options/setup_options.h"
#include "packages/package_locator.h"
#include "platform/platform.h"

namespace korvana {

// 0 on success or when nothing had to be done; 1602 when the user declined the
// reinstall; 1638 when a newer version is installed (interactive); otherwise the
// failing step's status or msiexec's exit code. `logPath` receives the installer
// log's path when one is named.
Status InstallPlugin(Platform& platform, PackageLocator& locator, const SetupOptions& options,
                     bool silent, bool reinstall, std::wstring installerArguments,
                     std::wstring& logPath);

}  // namespace korvana
