// The icon, the two dialog templates and their controls, by typed name; the numbers
// are resource_ids.h's, shared with the resource script.
#pragma once

#include <cstdint>

#include "resources/resource_ids.h"

namespace korvana {

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
