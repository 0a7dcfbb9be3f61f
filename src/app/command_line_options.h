// The command line: options into SetupOptions, and the help text.
#pragma once

#include <string>

#include "options/setup_options.h"
#include "platform/platform.h"

namespace korvana {

// Splits the process command line and fills `options` in one left-to-right pass.
// A help option or an unrecognised argument shows the help and ends the process
// with exit code 0 (it does not return then). So does a value option standing last,
// with no value behind it. A failed split leaves the defaults.
void ParseCommandLine(Platform& platform, SetupOptions& options);

// The help text: nine pieces, and five more for CSP mode.
std::wstring HelpText(bool cspMode);

// Shows the help (always, silent or not) and ends the process with exit code 0.
[[noreturn]] void ShowHelpAndExit(Platform& platform, const SetupOptions& options);

}  // namespace korvana
