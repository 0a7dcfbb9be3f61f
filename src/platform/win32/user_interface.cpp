#include "platform/win32/user_interface.h"

#include "platform/win32/dialog_bridge.h"
#include "platform/win32/unique_handle.h"

#include <commctrl.h>

namespace korvana::win32 {
namespace {

using InitCommonControlsExFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX* classes);

// GetLastError right after a failed call; a failure that set no code still fails.
Status LastErrorOfFailure() {
  const DWORD error = ::GetLastError();
  return error != 0 ? error : ERROR_GEN_FAILURE;
}

}  // namespace

Status Win32UserInterface::InitCommonControls() {
  // By name, not by full path. The manifest asks for Common Controls 6, and the
  // loader turns a bare name into the side-by-side copy its activation context
  // names before any folder is searched; a full path skips that redirection and
  // would load System32's version 5 library, not the one the manifest asks for (on
  // Windows XP, boxes and dialogs then fail). The name cannot be planted: the
  // process could not have started had the manifest's assembly been missing, so the
  // name always resolves through it, before the search that RestrictDllSearchPath
  // limits to System32 would even begin. The library stays loaded for the life of
  // the process, as the window classes it registers must.
  HMODULE comctl32 = ::LoadLibraryW(L"comctl32.dll");
  if (comctl32 == nullptr) return LastErrorOfFailure();
  auto initCommonControlsEx =
      FindExport<InitCommonControlsExFunction>(comctl32, "InitCommonControlsEx");
  if (initCommonControlsEx == nullptr) return ERROR_PROC_NOT_FOUND;
  const INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_STANDARD_CLASSES};
  return initCommonControlsEx(&classes) ? 0 : LastErrorOfFailure();
}

std::optional<bool> Win32UserInterface::IsWindowStationVisible() {
  HWINSTA station = ::GetProcessWindowStation();  // the process's own: never closed
  USEROBJECTFLAGS flags{};
  DWORD needed = 0;
  if (station == nullptr ||
      !::GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof(flags), &needed))
    return std::nullopt;
  return (flags.dwFlags & WSF_VISIBLE) != 0;
}

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
