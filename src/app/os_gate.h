// Refuses Windows versions below the service pack the product needs.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace korvana {

// True only when the system is exactly version 5.`minor` with a service-pack major
// number below `servicePack`. A failed query counts as false.
bool IsBelowServicePack(SystemProbes& system, std::uint32_t minor, std::uint16_t servicePack);

// 0 when the system passes; 3, 4 or 5 (the exit code) for Windows 2000 below SP4,
// XP below SP2 and 5.2 below SP1, after an error box unless `silent`.
std::uint32_t CheckOperatingSystem(Platform& platform, bool silent);

}  // namespace korvana
