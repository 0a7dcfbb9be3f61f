#include "support/message_box.h"

#include "support/log_event.h"
#include "support/text.h"

namespace korvana {

// Every box goes into the run's log with what was answered, or that it was kept back.
int Boxes::ShowLogged(const std::wstring& text, const std::wstring& label,
                      const BoxLook& look) const {
  if (keptBack_) {
    LogEvent(*platform_, {L"box not shown (silent): ", label});
    return 0;
  }
  const int answer = platform_->ui.ShowMessageBox(
      look.owner, text, platform_->texts.LoadText(look.captionId != 0 ? look.captionId : runCaption_),
      look.style);
  // MessageBoxW gives 0 when it could not make the box (no Common Controls, no
  // desktop): nobody answered, and the caller takes it for a box not shown.
  if (answer == 0) {
    LogEvent(*platform_, {L"box not shown (failed): ", label});
    return 0;
  }
  LogEvent(*platform_, {L"box: ", label, L" -> ", ToDecimal(static_cast<std::uint32_t>(answer))});
  return answer;
}

int Boxes::Show(const std::wstring& text, const BoxLook& look) const {
  return ShowLogged(text, text, look);
}

int Boxes::ShowText(std::uint16_t textId, const BoxLook& look) const {
  // The text is loaded only for a box that shows.
  const std::wstring text = keptBack_ ? std::wstring() : platform_->texts.LoadText(textId);
  return ShowLogged(text, L"text " + ToDecimal(textId), look);
}

void Boxes::ShowFailure(const StepOutcome& outcome) const {
  if (outcome.failureText == 0) return;
  static constexpr BoxLook kFailure{kErrorBox};
  // Logged like every box, the text by its number when it is kept back.
  if (keptBack_) {
    ShowLogged({}, L"text " + ToDecimal(outcome.failureText) + L": " + ToDecimal(outcome.code),
               kFailure);
    return;
  }
  std::wstring message = platform_->texts.LoadText(outcome.failureText);
  message.append(L": ").append(ToDecimal(outcome.code)).append(L".\n");
  if (!outcome.logPath.empty() && platform_->files.Exists(outcome.logPath))
    message.append(L"Install log: ").append(outcome.logPath);
  ShowLogged(message, message, kFailure);
}

}  // namespace korvana
