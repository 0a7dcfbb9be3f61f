// Runs the CSP's own setup program in CSP mode.
#pragma once

#include <cstdint>
#include <string>

#include "options/setup_options.h"
#include "platform/platform.h"

namespace korvana {

// Runs <component>\Setup.exe (relative to the current directory) with the fixed
// options, the KC level and language of `options`, and `cspArgs` for its installer
// (with a basic-UI switch and a verbose log in TMP unless the arguments bring their
// own), and waits for it. 0 when the run goes on to the plug-in (the program ended
// with 0, 3, 4 or 1602, or could not start for one of those reasons), else the failure
// code, shown with text::kCspFailed under `captionId` unless `silent`.
Status InstallCsp(Platform& platform, const SetupOptions& options, bool silent, bool reinstall,
                  std::wstring component, std::wstring cspArgs, std::uint16_t captionId);

}  // namespace korvana
