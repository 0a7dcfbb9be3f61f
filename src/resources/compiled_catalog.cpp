#include "resources/compiled_catalog.h"

namespace korvana {
namespace {

#define KORVANA_TEXT(id, name, text) {id, L"" text},
const CatalogEntry kEntries[] = {
#include "resources/messages.inc"
};
#undef KORVANA_TEXT

}  // namespace

const CatalogEntry* CatalogEntries(std::size_t* count) {
  *count = sizeof(kEntries) / sizeof(kEntries[0]);
  return kEntries;
}

std::wstring CompiledCatalog::LoadText(std::uint16_t id) {
  for (const CatalogEntry& entry : kEntries) {
    if (entry.id == id) return entry.text;
  }
  return {};
}

}  // namespace korvana
