// Runs the CSP's own setup program in CSP mode.
#pragma once

#include "platform/platform.h"
#include "run/exit_codes.h"
#include "run/setup_options.h"
#include "support/message_box.h"
#include "support/build_settings.h"

namespace korvana {

// Runs csp\Setup.exe, found beside the executable or else in the current directory and
// started by its full path, with the fixed options, the KC level and language of
// `options`, and its -CSPArgs for its installer (with the default interface level and
// a verbose log unless they bring their own), and waits for it. GoOn when the plug-in
// follows (the program ended with 0, 3, 4 or 1602, or neither place has a "csp"
// folder); else the failure code (2 for a "csp" folder without Setup.exe) with the
// CSP's failure box. `publisher`: the signer the setup program must carry (the build's
// setting); empty, it is not checked. With one, the program is held from its check
// until it has ended (HoldSignedFile), and a program refused is not started: the run
// ends with the check's result and the CSP's failure box.
StepOutcome InstallCsp(Platform& platform, const SetupOptions& options, const Boxes& boxes,
                       const wchar_t* publisher = PackagePublisher());

}  // namespace korvana
