// Any format text fills at most the given texts and never reads beyond them.
#include <cstddef>
#include <cstdint>
#include <string>

#include "support/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::wstring format;
  for (std::size_t i = 0; i < size; ++i) format += static_cast<wchar_t>(data[i]);
  std::wstring out = korvana::FormatText(format, {L"A", L"BB", L"CCC"});
  if (out.size() > format.size() + 6) __builtin_trap();
  return 0;
}
