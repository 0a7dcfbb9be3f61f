// The command line: options into SetupOptions, and the help text.
#pragma once

#include <string>

#include "run/setup_options.h"
#include "platform/platform.h"

namespace korvana {

// What the command line leaves the run to do: run; show the help (a help option);
// or stop at an argument it cannot read (an unknown one, or a value option standing
// last with no value behind it), which the log names.
enum class CommandLineRequest { Run, Help, Unreadable };

// Splits the process command line and fills `options` in one left-to-right pass,
// stopping at the first argument that asks for the help or cannot be read. A failed
// split leaves the defaults.
CommandLineRequest ParseCommandLine(Platform& platform, SetupOptions& options);

// The help text; in CSP mode its CSP options follow.
std::wstring HelpText(bool cspMode);

// Shows the help, silent or not; never where nobody can see it (`options.unattended`).
void ShowHelp(Platform& platform, const SetupOptions& options);

}  // namespace korvana
