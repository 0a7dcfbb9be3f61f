// Catalogue IDs by name, and the other resource IDs of the executable.
#pragma once

#include <cstdint>

namespace korvana {

// Catalogue IDs by name, for readability at the call sites.
namespace text {
inline constexpr std::uint16_t kNotAdministrator = 101;
inline constexpr std::uint16_t kInstallQuestion = 103;
inline constexpr std::uint16_t kPluginCaption = 104;
inline constexpr std::uint16_t kCspFailed = 105;
inline constexpr std::uint16_t kPluginFailed = 106;
inline constexpr std::uint16_t kInstalledCspNeedsRestart = 107;
inline constexpr std::uint16_t kInstalledNeedsRestart = 108;
inline constexpr std::uint16_t kInstalledCsp = 109;
inline constexpr std::uint16_t kInstalled = 110;
inline constexpr std::uint16_t kRestartFailed = 111;
inline constexpr std::uint16_t kBrowserDownloading = 115;
inline constexpr std::uint16_t kNeedsWindows2000Sp4 = 117;
inline constexpr std::uint16_t kNeedsWindowsXpSp2 = 118;
inline constexpr std::uint16_t kNeedsWindows2003Sp1 = 119;
inline constexpr std::uint16_t kCspCaption = 122;
inline constexpr std::uint16_t kBrowserVerifying = 123;
inline constexpr std::uint16_t kBrowserInstalling = 124;
inline constexpr std::uint16_t kBrowserInstalled = 125;
inline constexpr std::uint16_t kBrowserDownloadFailed = 126;
inline constexpr std::uint16_t kBrowserVerifyFailed = 127;
inline constexpr std::uint16_t kUpdateCaption = 128;
inline constexpr std::uint16_t kErrorCaption = 129;
inline constexpr std::uint16_t kInstalledVersionUnreadable = 131;
inline constexpr std::uint16_t kBrowserInstallFailed = 132;
inline constexpr std::uint16_t kNewPackageUnopenable = 133;
inline constexpr std::uint16_t kNewPackageVersionUnreadable = 134;
inline constexpr std::uint16_t kNewPackageNotFound = 135;
inline constexpr std::uint16_t kPackageNotFound = 139;
inline constexpr std::uint16_t kHideOptions = 142;
inline constexpr std::uint16_t kShowOptions = 143;
inline constexpr std::uint16_t kEnvironmentUnreadable = 144;
inline constexpr std::uint16_t kReinstallQuestion = 147;
inline constexpr std::uint16_t kNewerInstalled = 150;
inline constexpr std::uint16_t kProductCodeUnreadable = 151;
inline constexpr std::uint16_t kSystemDirectoryUnreadable = 152;
inline constexpr std::uint16_t kUpdateQuestion = 153;
}  // namespace text

// Other resources.
inline constexpr std::uint16_t kIconId = 100;

// The configuration dialog of CSP mode and its controls.
inline constexpr std::uint16_t kConfigurationDialogId = 141;
inline constexpr int kNextButton = 140;
inline constexpr int kRussianButton = 1006;
inline constexpr int kEnglishButton = 1007;
inline constexpr int kKc1Button = 1008;
inline constexpr int kKc2Button = 1009;
inline constexpr int kKc3Button = 1010;
inline constexpr int kWelcomeGroup = 1011;
inline constexpr int kWelcomeText = 1014;
inline constexpr int kOptionsButton = 1015;

// The completion dialog and its controls.
inline constexpr std::uint16_t kCompletionDialogId = 40110;
inline constexpr int kCompletionMessage = 41028;
inline constexpr int kBrowserBox = 41029;
inline constexpr int kRestartBox = 41027;

}  // namespace korvana
