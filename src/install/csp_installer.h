// Runs the CSP's own setup program in CSP mode.
#pragma once

#include <string>

#include "app/setup_options.h"
#include "platform/platform.h"

namespace korvana {

// 0 when the run goes on to the plug-in, else the failure code. Not built yet: it
// answers ERROR_CALL_NOT_IMPLEMENTED, so a CSP-mode run ends there and never
// pretends to have installed anything.
Status InstallCsp(Platform& platform, const SetupOptions& options, bool silent, bool reinstall,
                  std::wstring component, std::wstring cspArgs);

}  // namespace korvana
