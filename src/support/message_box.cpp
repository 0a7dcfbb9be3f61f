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
  // MessageBoxW gives 0 when it could not make the box (no Common Controls, no
  // desktop): nobody answered, and the caller takes it for a box not shown.
  if (answer == 0) {
    LogEvent(platform, {L"box not shown (failed): ", label});
    return 0;
  }
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

void ShowFailureBox(Platform& platform, bool silent, const StepOutcome& outcome,
                    std::uint16_t captionId) {
  if (outcome.failureText == 0) return;
  // Logged like every box, the text by its number when it is kept back.
  if (silent) {
    ShowLogged(platform, true, Owner::OwnerWindow, {},
               L"text " + ToDecimal(outcome.failureText) + L": " + ToDecimal(outcome.code),
               captionId, kErrorBox);
    return;
  }
  std::wstring message = platform.texts.LoadText(outcome.failureText);
  message.append(L": ").append(ToDecimal(outcome.code)).append(L".\n");
  if (!outcome.logPath.empty() && platform.files.Exists(outcome.logPath))
    message.append(L"Install log: ").append(outcome.logPath);
  ShowBox(platform, false, Owner::OwnerWindow, message, captionId, kErrorBox);
}

}  // namespace korvana
