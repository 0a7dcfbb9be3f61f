#include "platform/win32/string_table.h"

namespace korvana::win32 {
namespace {

// A string table is stored in blocks of 16 entries; block n (from 1) holds the IDs
// 16 * (n - 1) to 16 * n - 1.
constexpr unsigned kEntriesPerBlock = 16;

HRSRC FindBlock(HMODULE module, std::uint16_t id, WORD language) {
  return ::FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(id / kEntriesPerBlock + 1),
                           language);
}

}  // namespace

std::wstring ReadStringTableEntry(HMODULE module, std::uint16_t id) {
  // The neutral language lets the loader's language fallback pick the table whatever
  // the user's UI language. Should a loader not fall back to a lone table of another
  // language, the table's own language is asked for by name.
  HRSRC block = FindBlock(module, id, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
  if (block == nullptr) block = FindBlock(module, id, kStringTableLanguage);
  if (block == nullptr) return {};

  const DWORD blockBytes = ::SizeofResource(module, block);
  HGLOBAL loaded = ::LoadResource(module, block);
  const auto* data = static_cast<const WCHAR*>(loaded ? ::LockResource(loaded) : nullptr);
  if (data == nullptr) return {};

  // Each entry is a character count followed by that many UTF-16 units, no null. A
  // malformed block never makes us read past its end.
  const std::size_t units = blockBytes / sizeof(WCHAR);
  std::size_t pos = 0;
  for (unsigned index = 0; index < kEntriesPerBlock && pos < units; ++index) {
    const std::size_t length = data[pos++];
    if (length > units - pos) return {};
    if (index == id % kEntriesPerBlock) return std::wstring(data + pos, length);
    pos += length;
  }
  return {};
}

}  // namespace korvana::win32
