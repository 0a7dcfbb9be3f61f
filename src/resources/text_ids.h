// Catalogue IDs by name, and the other resource IDs of the executable.
#pragma once

#include <cstdint>

#include "resources/resource_ids.h"

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

// Other resources, typed names of resource_ids.h.
inline constexpr std::uint16_t kIconId = IDI_KORVANA;

// The configuration dialog of CSP mode and its controls.
inline constexpr std::uint16_t kConfigurationDialogId = IDD_CONFIGURATION;
inline constexpr int kNextButton = IDC_NEXT;
inline constexpr int kRussianButton = IDC_RUSSIAN;
inline constexpr int kEnglishButton = IDC_ENGLISH;
inline constexpr int kKc1Button = IDC_KC1;
inline constexpr int kKc2Button = IDC_KC2;
inline constexpr int kKc3Button = IDC_KC3;
inline constexpr int kWelcomeGroup = IDC_WELCOME_GROUP;
inline constexpr int kLanguageGroup = IDC_LANGUAGE_GROUP;
inline constexpr int kKcGroup = IDC_KC_GROUP;
inline constexpr int kWelcomeText = IDC_WELCOME_TEXT;
inline constexpr int kOptionsButton = IDC_OPTIONS;

// The completion dialog and its controls.
inline constexpr std::uint16_t kCompletionDialogId = IDD_COMPLETION;
inline constexpr int kCompletionMessage = IDC_COMPLETION_MESSAGE;
inline constexpr int kBrowserBox = IDC_BROWSER_BOX;
inline constexpr int kRestartBox = IDC_RESTART_BOX;

}  // namespace korvana
