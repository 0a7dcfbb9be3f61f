// The command line: options into SetupOptions, and the help text.
#pragma once

#include <string>

#include "options/setup_options.h"
#include "platform/platform.h"

namespace korvana {

// What the command line leaves the run to do.
enum class CommandLineRequest { Run, HelpShown };

// Splits the process command line and fills `options` in one left-to-right pass.
// A help option or an unrecognised argument shows the help, and the run then ends
// with exit code 0 (HelpShown). So does a value option standing last, with no value
// behind it. A failed split leaves the defaults.
CommandLineRequest ParseCommandLine(Platform& platform, SetupOptions& options);

// The help text: nine pieces, and five more for CSP mode.
std::wstring HelpText(bool cspMode);

// Shows the help, silent or not.
void ShowHelp(Platform& platform, const SetupOptions& options);

}  // namespace korvana
