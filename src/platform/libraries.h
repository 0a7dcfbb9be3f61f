// Libraries that the program loads by a name it was given.
#pragma once

#include <optional>
#include <string>

#include "platform/tokens.h"

namespace korvana {

class Libraries {
 public:
  virtual ~Libraries() = default;
  virtual LibraryToken LoadLibrary(const std::wstring& name) = 0;  // LoadLibraryW
  // GetProcAddress(library, name) and, when found, a call of it with no arguments:
  // its 32-bit result. nullopt when there is no such export.
  virtual std::optional<std::int32_t> CallExport(LibraryToken library, const char* name) = 0;
  virtual void FreeLibrary(LibraryToken library) = 0;
};

}  // namespace korvana
