// Starting a child program, with its command line and result in the run's log.
#pragma once

#include <string>

#include "platform/platform.h"

namespace korvana {

// RunAndWait, logged: the command line before, the exit code (or the error of a
// failed start) after. `application`: the program's full path, so no search can put
// another program in its place; empty for a command line whose first token is one.
Status RunChild(Platform& platform, const std::wstring& commandLine,
                const std::wstring& application = {});

}  // namespace korvana
