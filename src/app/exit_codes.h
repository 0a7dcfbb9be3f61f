// The process exit codes of a run, for administrators' scripts. Any other value is
// the status of the step that failed (a Windows Installer or Win32 error code).
#pragma once

#include <cstdint>

namespace korvana::exit_code {

inline constexpr std::uint32_t kSuccess = 0;           // also: help shown, No to the first question
inline constexpr std::uint32_t kNotAdministrator = 1;  // also: No to the update question
inline constexpr std::uint32_t kRestartFailed = 7;     // the restart the user asked for failed
inline constexpr std::uint32_t kUserDeclined = 1602;   // ERROR_INSTALL_USEREXIT
inline constexpr std::uint32_t kNewerInstalled = 1638; // ERROR_PRODUCT_VERSION

}  // namespace korvana::exit_code
