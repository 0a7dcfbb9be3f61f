// Message boxes and the hidden window that owns them.
#pragma once

#include "platform/platform.h"
#include "platform/win32/unique_handle.h"

namespace korvana::win32 {

class Win32UserInterface final : public UserInterface {
 public:
  explicit Win32UserInterface(HINSTANCE instance) : instance_(instance) {}

  void CreateOwnerWindow() override;
  int ShowMessageBox(Owner owner, const std::wstring& text, const std::wstring& caption,
                     std::uint32_t style) override;

 private:
  HINSTANCE instance_;
  UniqueWindow ownerWindow_;
};

}  // namespace korvana::win32
