// The process exit codes of a run, for administrators' scripts. Any other value is
// the status of the step that failed (a Windows Installer or Win32 error code).
// A header of constants only, so any room may name the code it ends a run with.
#pragma once

#include <cstdint>

namespace korvana::exit_code {

inline constexpr std::uint32_t kSuccess = 0;
inline constexpr std::uint32_t kHelpShown = 0;
inline constexpr std::uint32_t kInstallDeclined = 0;          // No to the first question
inline constexpr std::uint32_t kConfigurationCancelled = 0;   // Cancel in the CSP's dialog
inline constexpr std::uint32_t kNotAdministrator = 1;
inline constexpr std::uint32_t kUpdateDeclined = 1;           // No to the update question
inline constexpr std::uint32_t kInstalledVersionUnreadable = 1;
inline constexpr std::uint32_t kWindows2000BelowSp4 = 3;
inline constexpr std::uint32_t kWindowsXpBelowSp2 = 4;
inline constexpr std::uint32_t kWindows2003BelowSp1 = 5;
inline constexpr std::uint32_t kRestartFailed = 7;            // the restart the user asked for failed
inline constexpr std::uint32_t kUserDeclined = 1602;          // ERROR_INSTALL_USEREXIT
inline constexpr std::uint32_t kAlreadyRunning = 1618;        // ERROR_INSTALL_ALREADY_RUNNING
inline constexpr std::uint32_t kNewerInstalled = 1638;        // ERROR_PRODUCT_VERSION

}  // namespace korvana::exit_code
