// Refuses Windows versions below the service pack the product needs.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "support/message_box.h"

namespace korvana {

// 0 when the system passes; 3, 4 or 5 (the exit code) for Windows 2000 below SP4,
// XP below SP2 and 5.2 below SP1, after an error box.
std::uint32_t CheckOperatingSystem(Platform& platform, const Boxes& boxes);

}  // namespace korvana
