// The executable's own string table as the message catalogue.
#pragma once

#include <cstdint>
#include <string>

#include "platform/string_table.h"
#include "platform/win32/windows_api.h"

namespace korvana::win32 {

// The table's one language: Russian (Russia).
inline constexpr WORD kStringTableLanguage = MAKELANGID(LANG_RUSSIAN, SUBLANG_RUSSIAN_RUSSIA);

// Entry `id` of the RT_STRING table of `module` (a loaded image or a module loaded as
// a data file); empty when the block or the entry is missing or has length 0.
std::wstring ReadStringTableEntry(HMODULE module, std::uint16_t id);

class Win32MessageCatalog final : public MessageCatalog {
 public:
  explicit Win32MessageCatalog(HMODULE module) : module_(module) {}
  std::wstring LoadText(std::uint16_t id) override { return ReadStringTableEntry(module_, id); }

 private:
  HMODULE module_;
};

}  // namespace korvana::win32
