// The catalogue of user texts compiled into the program: the same entries as the
// executable's string table, from the same source (resources/messages.inc).
#pragma once

#include <cstdint>
#include <string>

#include "platform/string_table.h"

namespace korvana {

struct CatalogEntry {
  std::uint16_t id;
  const wchar_t* text;
};

// Every entry, in ascending ID order.
const CatalogEntry* CatalogEntries(std::size_t* count);

// Reads the compiled-in table (the native build's catalogue and the tests').
class CompiledCatalog : public MessageCatalog {
 public:
  std::wstring LoadText(std::uint16_t id) override;
};

}  // namespace korvana
