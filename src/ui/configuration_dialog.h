// CSP mode's configuration: the CSP's installation language and KC level, on an
// options panel behind a welcome panel. "Далее" appends the choice to the run's
// options; Cancel ends the run.
#pragma once

#include <cstdint>
#include <optional>

#include "run/setup_options.h"
#include "platform/platform.h"

namespace korvana {

class ConfigurationDialog final : public DialogLogic {
 public:
  ConfigurationDialog(Platform& platform, SetupOptions& options)
      : platform_(platform), options_(options) {}

  bool OnInitDialog(DialogControls& controls) override;
  bool OnMessage(DialogControls& controls, std::uint32_t message, std::uintptr_t wParam,
                 std::intptr_t lParam) override;

  // Whether the dialog closed through Cancel, Esc or the close box.
  bool cancelled() const { return cancelled_; }

 private:
  void SwapPanels(DialogControls& controls);
  void StoreChoice(DialogControls& controls);

  Platform& platform_;
  SetupOptions& options_;
  std::optional<IconHandle> icon_;  // from WM_INITDIALOG to WM_DESTROY, while its controls live
  bool cancelled_ = false;
};

}  // namespace korvana
