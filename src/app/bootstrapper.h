// The program's run from start to exit code.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace korvana {

// The body of the graphical entry point: runs the fixed sequence of a setup run and
// returns the process exit code. `commandLineTail` is the text after the program
// path and its blanks, as the entry point receives it.
std::uint32_t RunBootstrapper(Platform& platform, const std::wstring& commandLineTail);

}  // namespace korvana
