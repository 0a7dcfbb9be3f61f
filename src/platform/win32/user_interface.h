// Message boxes and the hidden window that owns them, modal dialogs, posted messages.
#pragma once

#include "platform/user_interface.h"
#include "platform/win32/unique_handle.h"

namespace korvana::win32 {

class Win32UserInterface final : public UserInterface {
 public:
  explicit Win32UserInterface(HINSTANCE instance) : instance_(instance) {}

  Status InitCommonControls() override;
  std::optional<bool> IsWindowStationVisible() override;
  void CreateOwnerWindow() override;
  int ShowMessageBox(Owner owner, const std::wstring& text, const std::wstring& caption,
                     std::uint32_t style) override;
  std::intptr_t ShowDialog(std::uint16_t templateId, Owner owner, DialogLogic& logic) override;
  bool PostMessage(WindowToken window, std::uint32_t message, std::uintptr_t wParam,
                   std::intptr_t lParam) override;

 private:
  HWND OwnerHandle(Owner owner) const;

  HINSTANCE instance_;
  UniqueWindow ownerWindow_;
};

}  // namespace korvana::win32
