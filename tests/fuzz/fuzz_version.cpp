// Any version text parses without undefined behaviour, and equal texts give equal
// keys.
#include <cstddef>
#include <cstdint>
#include <string>

#include "packages/version_comparison.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::wstring text;
  for (std::size_t i = 0; i < size; ++i) text += static_cast<wchar_t>(data[i]);
  korvana::VersionQuad a = korvana::ParseVersionQuad(text);
  korvana::VersionQuad b = korvana::ParseVersionQuad(text);
  if (korvana::VersionKey(a) != korvana::VersionKey(b)) __builtin_trap();
  return 0;
}
