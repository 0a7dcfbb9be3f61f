#include "platform/win32/dialog_bridge.h"

#include <cstddef>
#include <optional>
#include <string>

#include "platform/win32/unique_handle.h"

namespace korvana::win32 {
namespace {

// What one running dialog forwards to: lives on RunModalDialog's stack for as long as
// the dialog does, and is found from the window through DWLP_USER.
struct DialogSession {
  HINSTANCE module;
  DialogLogic& logic;
  std::optional<WindowControls> controls;  // from WM_INITDIALOG on
};

// The session of the dialog being created. The initialisation parameter stays 0, so
// it reaches WM_INITDIALOG this way; set just before DialogBoxParamW and restored after
// it, so a dialog opened from another one finds its own. Main thread only.
DialogSession* pendingSession = nullptr;

INT_PTR CALLBACK ForwardingDialogProcedure(HWND dialog, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    DialogSession* session = pendingSession;
    if (session == nullptr) return FALSE;
    ::SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(session));
    session->controls.emplace(session->module, dialog);
    return session->logic.OnInitDialog(*session->controls) ? TRUE : FALSE;
  }
  // Before WM_INITDIALOG (WM_SETFONT and the like) there is no session yet.
  auto* session = reinterpret_cast<DialogSession*>(::GetWindowLongPtrW(dialog, DWLP_USER));
  if (session == nullptr || !session->controls) return FALSE;
  return session->logic.OnMessage(*session->controls, message, wParam, lParam) ? TRUE : FALSE;
}

}  // namespace

WindowToken WindowControls::Window() { return ToToken<WindowToken>(dialog_); }

void WindowControls::SetText(int id, const std::wstring& text) {
  ::SetDlgItemTextW(dialog_, id, text.c_str());
}

void WindowControls::Check(int id, bool checked) {
  ::CheckDlgButton(dialog_, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool WindowControls::IsChecked(int id) { return ::IsDlgButtonChecked(dialog_, id) == BST_CHECKED; }

bool WindowControls::IsEnabled(int id) {
  return ::IsWindowEnabled(::GetDlgItem(dialog_, id)) != FALSE;
}

void WindowControls::Enable(int id, bool enabled) {
  ::EnableWindow(::GetDlgItem(dialog_, id), enabled ? TRUE : FALSE);
}

void WindowControls::End(std::intptr_t result) { ::EndDialog(dialog_, result); }

void WindowControls::SetIcon(std::uint16_t iconId) {
  // Shared: the system owns the icon and frees it with the module.
  HANDLE icon = ::LoadImageW(module_, MAKEINTRESOURCEW(iconId), IMAGE_ICON, 0, 0, LR_SHARED);
  if (icon != nullptr) SetIcons(ToToken<IconToken>(icon));
}

void WindowControls::Show(int id, bool visible) {
  ::ShowWindow(::GetDlgItem(dialog_, id), visible ? SW_SHOW : SW_HIDE);
}

std::wstring WindowControls::GetText(int id, int maxCharacters) {
  // Room for the terminating null too; a longer text comes back cut to fit.
  std::wstring text(static_cast<std::size_t>(maxCharacters > 0 ? maxCharacters : 0) + 1, L'\0');
  const UINT length =
      ::GetDlgItemTextW(dialog_, id, text.data(), static_cast<int>(text.size()));
  text.resize(length < text.size() ? length : text.size() - 1);
  return text;
}

IconToken WindowControls::LoadOwnIcon(std::uint16_t iconId, int size) {
  // Not shared: this copy belongs to the caller, who destroys it when the window goes.
  return ToToken<IconToken>(
      ::LoadImageW(module_, MAKEINTRESOURCEW(iconId), IMAGE_ICON, size, size, 0));
}

void WindowControls::SetIcons(IconToken icon) {
  ::SendMessageW(dialog_, WM_SETICON, ICON_BIG, static_cast<LPARAM>(icon));
  ::SendMessageW(dialog_, WM_SETICON, ICON_SMALL, static_cast<LPARAM>(icon));
}

void WindowControls::DestroyIcon(IconToken icon) { ::DestroyIcon(FromToken<HICON>(icon)); }

void WindowControls::BringToFront() {
  // Windows lets only the thread that owns the foreground window hand it on; sharing
  // its input state for a moment makes this thread one that may.
  const DWORD foregroundThread =
      ::GetWindowThreadProcessId(::GetForegroundWindow(), nullptr);
  const DWORD thisThread = ::GetCurrentThreadId();
  ::AttachThreadInput(foregroundThread, thisThread, TRUE);
  ::SetForegroundWindow(dialog_);
  ::SetFocus(dialog_);
  ::AttachThreadInput(foregroundThread, thisThread, FALSE);
}

std::intptr_t RunModalDialog(HINSTANCE module, std::uint16_t templateId, HWND owner,
                             DialogLogic& logic) {
  DialogSession session{module, logic, std::nullopt};
  DialogSession* const previous = pendingSession;
  pendingSession = &session;
  const INT_PTR result = ::DialogBoxParamW(module, MAKEINTRESOURCEW(templateId), owner,
                                           ForwardingDialogProcedure, 0);
  pendingSession = previous;
  return result;
}

}  // namespace korvana::win32
