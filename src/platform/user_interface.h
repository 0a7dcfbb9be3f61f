// The user interface: the hidden owner window, message boxes, modal dialogs.
#pragma once

#include <optional>
#include <string>

#include "platform/tokens.h"

namespace korvana {

// Modal dialogs. What a dialog decides lives in a DialogLogic above the seam; the
// Win32 dialog procedure forwards the messages to it and hands it the controls.

class DialogControls {
 public:
  virtual ~DialogControls() = default;
  virtual WindowToken Window() = 0;
  virtual void SetText(int id, const std::wstring& text) = 0;  // SetDlgItemTextW
  virtual void Check(int id, bool checked) = 0;                // CheckDlgButton
  virtual bool IsChecked(int id) = 0;                          // IsDlgButtonChecked == BST_CHECKED
  virtual bool IsEnabled(int id) = 0;                          // IsWindowEnabled
  virtual void Enable(int id, bool enabled) = 0;               // EnableWindow
  virtual void End(std::intptr_t result) = 0;                  // EndDialog
  // LoadImageW of the program's icon `iconId`, shared; when it loads, WM_SETICON
  // with ICON_BIG, then with ICON_SMALL.
  virtual void SetIcon(std::uint16_t iconId) = 0;
  virtual void Show(int id, bool visible) = 0;  // ShowWindow(SW_SHOW / SW_HIDE)
  // GetDlgItemTextW into room for `maxCharacters` and the terminating null.
  virtual std::wstring GetText(int id, int maxCharacters) = 0;
  // An icon of the dialog's own: LoadImageW of the program's icon `iconId` at
  // size x size pixels, not shared (0 when it cannot be loaded); WM_SETICON with
  // ICON_BIG, then ICON_SMALL, whatever the handle; DestroyIcon.
  virtual IconToken LoadOwnIcon(std::uint16_t iconId, int size) = 0;
  virtual void SetIcons(IconToken icon) = 0;
  virtual void DestroyIcon(IconToken icon) = 0;
  // Attaches the foreground window's thread input to this thread, makes the dialog
  // the foreground window, gives it the focus, and detaches again.
  virtual void BringToFront() = 0;
};

class DialogLogic {
 public:
  virtual ~DialogLogic() = default;
  // WM_INITDIALOG: the procedure's result (true lets the default focus be set).
  virtual bool OnInitDialog(DialogControls& controls) = 0;
  // Every later message; false leaves it to the default dialog processing.
  virtual bool OnMessage(DialogControls& controls, std::uint32_t message, std::uintptr_t wParam,
                         std::intptr_t lParam) = 0;
};

class UserInterface {
 public:
  virtual ~UserInterface() = default;
  // Loads comctl32.dll by name (the manifest's activation context sends the name to
  // the version 6 side-by-side copy) and calls its InitCommonControlsEx with
  // ICC_STANDARD_CLASSES; the library stays loaded. 0, or GetLastError of the load,
  // ERROR_PROC_NOT_FOUND without the export, or GetLastError of a call that failed
  // (ERROR_GEN_FAILURE for a failure that set no code).
  [[nodiscard]] virtual Status InitCommonControls() = 0;
  // GetProcessWindowStation and GetUserObjectInformationW(UOI_FLAGS): whether
  // WSF_VISIBLE is set, i.e. whether a window of this process can ever be seen (a
  // service's station in session 0 has no display, and a box there never returns).
  // nullopt when either call fails.
  virtual std::optional<bool> IsWindowStationVisible() = 0;
  // Creates the hidden, disabled "STATIC" window that owns most boxes. A failure is
  // not reported: boxes then simply have no owner.
  virtual void CreateOwnerWindow() = 0;
  // MessageBoxW; returns the button pressed (IDOK 1, IDYES 6, IDNO 7, ...).
  virtual int ShowMessageBox(Owner owner, const std::wstring& text,
                             const std::wstring& caption, std::uint32_t style) = 0;
  // DialogBoxParamW: the program's own template `templateId`, owned by `owner`,
  // parameter 0, and a procedure that forwards every message to `logic`. The
  // dialog's result, or -1 when it cannot be shown.
  virtual std::intptr_t ShowDialog(std::uint16_t templateId, Owner owner, DialogLogic& logic) = 0;
  // PostMessageW; false when the message could not be posted. Any thread may call it.
  virtual bool PostMessage(WindowToken window, std::uint32_t message, std::uintptr_t wParam,
                           std::intptr_t lParam) = 0;
};

// The icon a dialog loads for itself, destroyed exactly once.
using IconHandle = ScopedToken<DialogControls, IconToken, &DialogControls::DestroyIcon>;

}  // namespace korvana
