#include "support/message_box.h"

#include "support/log_event.h"
#include "support/text.h"

namespace korvana {
namespace {

// Every box goes into the run's log with what was answered, or that a silent run
// kept it back.
int ShowLogged(Platform& platform, bool silent, Owner owner, const std::wstring& text,
               const std::wstring& label, std::uint16_t captionId, std::uint32_t style) {
  if (silent) {
    LogEvent(platform, {L"box not shown (silent): ", label});
    return 0;
  }
  const int answer =
      platform.ui.ShowMessageBox(owner, text, platform.texts.LoadText(captionId), style);
  LogEvent(platform, {L"box: ", label, L" -> ", ToDecimal(static_cast<std::uint32_t>(answer))});
  return answer;
}

}  // namespace

int ShowBox(Platform& platform, bool silent, Owner owner, const std::wstring& text,
            std::uint16_t captionId, std::uint32_t style) {
  return ShowLogged(platform, silent, owner, text, text, captionId, style);
}

int ShowTextBox(Platform& platform, bool silent, Owner owner, std::uint16_t textId,
                std::uint16_t captionId, std::uint32_t style) {
  // The text is loaded only for a box that shows.
  const std::wstring text = silent ? std::wstring() : platform.texts.LoadText(textId);
  return ShowLogged(platform, silent, owner, text, L"text " + ToDecimal(textId), captionId, style);
}

}  // namespace korvana
