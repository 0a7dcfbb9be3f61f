#include "ui/configuration_dialog.h"

#include "platform/win_constants.h"
#include "resources/dialog_ids.h"
#include "resources/text_ids.h"
#include "support/log_event.h"
#include "support/text.h"
#include "ui/dialogs.h"

namespace korvana {
namespace {

constexpr int kIconPixels = 32;
// Room enough to tell "Опции" from "Скрыть".
constexpr int kButtonTextCharacters = 9;

struct Choice {
  int button;
  const wchar_t* text;
};
constexpr Choice kKcLevels[] = {{kKc1Button, L"kc1"}, {kKc2Button, L"kc2"}, {kKc3Button, L"kc3"}};
constexpr Choice kLanguages[] = {{kRussianButton, L"rus"}, {kEnglishButton, L"eng"}};

}  // namespace

bool ConfigurationDialog::OnInitDialog(DialogControls& controls) {
  // Its own icon, not a shared one: destroyed when the window goes.
  icon_.emplace(controls, controls.LoadOwnIcon(kIconId, kIconPixels));
  controls.SetIcons(icon_->get());
  controls.Check(IsRussianRussia(platform_.system.GetUserDefaultUILanguage()) ? kRussianButton
                                                                             : kEnglishButton,
                 true);
  controls.Check(kKc1Button, true);
  return true;
}

bool ConfigurationDialog::OnMessage(DialogControls& controls, std::uint32_t message,
                                    std::uintptr_t wParam, std::intptr_t) {
  if (message == win::WM_DESTROY) {
    icon_.reset();
    return false;
  }
  if (message != win::WM_COMMAND) return false;
  switch (CommandId(wParam)) {
    case kNextButton:
      StoreChoice(controls);
      LogEvent(platform_, {L"configuration: KC ", options_.kcLevel, L", Lang ", options_.lang});
      controls.End(0);
      return true;
    case win::IDCANCEL:
      // The "Отмена" button, Esc and the close box: the whole run ends once the
      // dialog has closed, with nothing installed.
      controls.End(0);
      cancelled_ = true;
      LogEvent(platform_, {L"configuration cancelled"});
      return true;
    case kOptionsButton:
      SwapPanels(controls);
      return false;
    default:
      return false;  // the radio buttons look after themselves
  }
}

// The button's own text says which panel shows: "Опции" on the welcome panel.
void ConfigurationDialog::SwapPanels(DialogControls& controls) {
  const std::wstring showOptions = platform_.texts.LoadText(text::kShowOptions);
  const bool toOptions = controls.GetText(kOptionsButton, kButtonTextCharacters) == showOptions;
  for (int id = kRussianButton; id <= kWelcomeText; ++id) {
    const bool welcome = id == kWelcomeGroup || id == kWelcomeText;
    controls.Show(id, welcome != toOptions);
  }
  controls.SetText(kOptionsButton,
                   toOptions ? platform_.texts.LoadText(text::kHideOptions) : showOptions);
}

// Appended, not assigned: a "-KC" or "-Lang" value of the command line comes first.
void ConfigurationDialog::StoreChoice(DialogControls& controls) {
  for (const Choice& kc : kKcLevels)
    if (controls.IsChecked(kc.button)) options_.kcLevel += kc.text;
  for (const Choice& language : kLanguages)
    if (controls.IsChecked(language.button)) options_.lang += language.text;
}

ConfigurationResult ShowConfigurationDialog(Platform& platform, SetupOptions& options) {
  ConfigurationDialog dialog(platform, options);
  platform.ui.ShowDialog(kConfigurationDialogId, Owner::OwnerWindow, dialog);
  return dialog.cancelled() ? ConfigurationResult::Cancelled : ConfigurationResult::Chosen;
}

}  // namespace korvana
