// Any header value scans without reading past the count the server gave, the name is
// exactly the quoted run of the value, and a name that passes the file-name rule can
// only mean a file in the current directory.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "browser_offer/content_disposition.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Two bytes a character, as the header arrives; an exact-size heap copy, so that
  // the address sanitizer sees any read beyond the count.
  std::size_t count = size / 2;
  std::unique_ptr<wchar_t[]> value(new wchar_t[count == 0 ? 1 : count]);
  for (std::size_t i = 0; i < count; ++i)
    value[i] = static_cast<wchar_t>(data[2 * i] | (data[2 * i + 1] << 8));
  std::optional<std::wstring> name = korvana::ScanAttachmentFileName(value.get(), count);
  if (!name) return 0;
  if (name->empty() || name->size() > count || name->find(L'"') != std::wstring::npos)
    __builtin_trap();
  // The name is the run right after the first double quote, up to the next one or the
  // end of the value as the scan sees it (the count, or a null before it).
  std::size_t end = 0;
  while (end < count && value[end] != L'\0') ++end;
  const std::wstring seen(value.get(), end);
  const std::size_t open = seen.find(L'"');
  if (seen.compare(0, 11, L"attachment;") != 0 || open == std::wstring::npos ||
      seen.compare(open + 1, name->size(), *name) != 0 ||
      (open + 1 + name->size() != end && seen[open + 1 + name->size()] != L'"'))
    __builtin_trap();
  if (korvana::IsPlainFileName(*name)) {
    if (name->find_first_of(L"\\/:<>|?*") != std::wstring::npos || *name == L"." || *name == L"..")
      __builtin_trap();
    // Nothing Windows would strip or read as a control: no control character, and no
    // trailing dot or blank that would make it write another file than the one named.
    for (wchar_t c : *name)
      if (c < 0x20) __builtin_trap();
    if (name->back() == L'.' || name->back() == L' ') __builtin_trap();
  }
  return 0;
}
