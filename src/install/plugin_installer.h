// Installs, reinstalls or updates the plug-in: decides the case, asks where the case
// needs an answer, chooses the installer properties and runs msiexec.
#pragma once

#include <string>

#include "run/setup_options.h"
#include "packages/package_locator.h"
#include "platform/platform.h"
#include "run/exit_codes.h"
#include "support/build_settings.h"
#include "support/message_box.h"

namespace korvana {

// How the plug-in's installation ended: GoOn on success or when nothing had to be
// done (the end of the run follows); else the code the run ends with: 1602 when the
// user declined the reinstall, 1 when the user declined the update, 1638 when a newer
// version is installed (interactive), otherwise the failing step's status or
// msiexec's exit code, with the plug-in's failure box where the user has not been
// told already; every box goes through `boxes`. `publisher`: the signer
// the package must carry (the build's setting); empty, the package is not checked. A
// package refused ends the run with the check's result and the failure box.
StepOutcome InstallPlugin(Platform& platform, PackageLocator& locator, const SetupOptions& options,
                          const Boxes& boxes, const wchar_t* publisher = PackagePublisher());

}  // namespace korvana
