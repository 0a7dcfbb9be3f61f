#include "platform/message_box.h"

namespace korvana {

int ShowBox(Platform& platform, bool silent, Owner owner, const std::wstring& text,
            std::uint16_t captionId, std::uint32_t style) {
  if (silent) return 0;
  return platform.ui.ShowMessageBox(owner, text, platform.texts.LoadText(captionId), style);
}

int ShowTextBox(Platform& platform, bool silent, Owner owner, std::uint16_t textId,
                std::uint16_t captionId, std::uint32_t style) {
  if (silent) return 0;
  return ShowBox(platform, silent, owner, platform.texts.LoadText(textId), captionId, style);
}

}  // namespace korvana
