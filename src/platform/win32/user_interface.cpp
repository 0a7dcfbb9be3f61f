#include "platform/win32/user_interface.h"

#include "platform/win32/dialog_bridge.h"
#include "platform/win32/unique_handle.h"

namespace korvana::win32 {

HWND Win32UserInterface::OwnerHandle(Owner owner) const {
  // Null, hence no owner, also when the owner window could not be made.
  return owner == Owner::OwnerWindow ? ownerWindow_.get() : nullptr;
}

void Win32UserInterface::CreateOwnerWindow() {
  // Disabled and never shown; a failure leaves the boxes without an owner.
  ownerWindow_.reset(::CreateWindowExW(0, L"STATIC", nullptr, WS_DISABLED, CW_USEDEFAULT, 0,
                                       CW_USEDEFAULT, 0, nullptr, nullptr, instance_, nullptr));
}

int Win32UserInterface::ShowMessageBox(Owner owner, const std::wstring& text,
                                       const std::wstring& caption, std::uint32_t style) {
  return ::MessageBoxW(OwnerHandle(owner), text.c_str(), caption.c_str(), style);
}

std::intptr_t Win32UserInterface::ShowDialog(std::uint16_t templateId, Owner owner,
                                             DialogLogic& logic) {
  return RunModalDialog(instance_, templateId, OwnerHandle(owner), logic);
}

bool Win32UserInterface::PostMessage(WindowToken window, std::uint32_t message,
                                     std::uintptr_t wParam, std::intptr_t lParam) {
  return ::PostMessageW(FromToken<HWND>(window), message, wParam, lParam) != FALSE;
}

}  // namespace korvana::win32
