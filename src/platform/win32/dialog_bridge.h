// The Win32 half of a modal dialog: a dialog procedure that hands every message to a
// DialogLogic, and the dialog's controls as the logic sees them.
#pragma once

#include "platform/user_interface.h"
#include "platform/win32/windows_api.h"

namespace korvana::win32 {

// The controls of one dialog window, each reached by its id.
class WindowControls final : public DialogControls {
 public:
  // `module` carries the icons; `dialog` is the dialog window.
  WindowControls(HINSTANCE module, HWND dialog) : module_(module), dialog_(dialog) {}

  WindowToken Window() override;
  void SetText(int id, const std::wstring& text) override;
  void Check(int id, bool checked) override;
  bool IsChecked(int id) override;
  bool IsEnabled(int id) override;
  void Enable(int id, bool enabled) override;
  void End(std::intptr_t result) override;
  void SetIcon(std::uint16_t iconId) override;
  void Show(int id, bool visible) override;
  std::wstring GetText(int id, int maxCharacters) override;
  IconToken LoadOwnIcon(std::uint16_t iconId, int size) override;
  void SetIcons(IconToken icon) override;
  void DestroyIcon(IconToken icon) override;
  void BringToFront() override;

 private:
  HINSTANCE module_;
  HWND dialog_;
};

// DialogBoxParamW of template `templateId` in `module`, owned by `owner` (null for
// none), with an initialisation parameter of 0, every message forwarded to `logic`.
// The dialog's result, or -1 when it could not be shown. Main thread only; dialogs
// may nest.
std::intptr_t RunModalDialog(HINSTANCE module, std::uint16_t templateId, HWND owner,
                             DialogLogic& logic);

}  // namespace korvana::win32
