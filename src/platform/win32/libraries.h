// Libraries loaded by a name the program was given, and their no-argument exports.
#pragma once

#include "platform/libraries.h"

namespace korvana::win32 {

class Win32Libraries final : public Libraries {
 public:
  LibraryToken LoadLibrary(const std::wstring& name) override;
  std::optional<std::int32_t> CallExport(LibraryToken library, const char* name) override;
  void FreeLibrary(LibraryToken library) override;
};

}  // namespace korvana::win32
