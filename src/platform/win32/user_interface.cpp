#include "platform/win32/user_interface.h"

namespace korvana::win32 {

void Win32UserInterface::CreateOwnerWindow() {
  // Disabled and never shown; a failure leaves the boxes without an owner.
  ownerWindow_.reset(::CreateWindowExW(0, L"STATIC", nullptr, WS_DISABLED, CW_USEDEFAULT, 0,
                                       CW_USEDEFAULT, 0, nullptr, nullptr, instance_, nullptr));
}

int Win32UserInterface::ShowMessageBox(Owner owner, const std::wstring& text,
                                       const std::wstring& caption, std::uint32_t style) {
  HWND window = owner == Owner::OwnerWindow ? ownerWindow_.get() : nullptr;
  return ::MessageBoxW(window, text.c_str(), caption.c_str(), style);
}

}  // namespace korvana::win32
