#include "app/os_gate.h"

#include "run/exit_codes.h"
#include "platform/win_constants.h"
#include "resources/text_ids.h"
#include "support/log_event.h"
#include "support/message_box.h"

namespace korvana {

std::uint32_t CheckOperatingSystem(Platform& platform, const Boxes& boxes) {
  struct Refusal {
    std::uint32_t minor;
    std::uint16_t servicePack;
    std::uint16_t textId;
    std::uint32_t exitCode;
  };
  static const Refusal kRefusals[] = {
      {0, 4, text::kNeedsWindows2000Sp4, exit_code::kWindows2000BelowSp4},
      {1, 2, text::kNeedsWindowsXpSp2, exit_code::kWindowsXpBelowSp2},
      {2, 1, text::kNeedsWindows2003Sp1, exit_code::kWindows2003BelowSp1},
  };
  // The gate speaks for the plug-in in every mode, CSP mode included. A system that
  // cannot be asked is let through.
  for (const Refusal& refusal : kRefusals) {
    if (platform.system.IsBelowServicePack(5, refusal.minor, refusal.servicePack)) {
      LogEvent(platform, {L"service pack too old"});
      boxes.ShowText(refusal.textId, {kErrorBox, text::kPluginCaption});
      return refusal.exitCode;
    }
  }
  return 0;
}

}  // namespace korvana
