#include "support/text.h"

#include "platform/clock.h"
#include "platform/win_constants.h"

namespace korvana {

bool IsRussianRussia(std::uint16_t uiLanguage) { return uiLanguage == win::LANGID_RUSSIAN_RUSSIA; }

std::wstring ZeroPadded(int value, std::size_t width) {
  const bool negative = value < 0;
  const auto magnitude =
      negative ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  std::wstring digits = ToDecimal(magnitude);
  if (digits.size() < width) digits.insert(0, width - digits.size(), L'0');
  return negative ? L"-" + digits : digits;
}

// Formatted here rather than by the runtime's wcsftime so that both builds give the
// same text: a four-digit year, then two digits each, joined by hyphens.
std::wstring FormatTimeStamp(const LocalTime& time) {
  const int fields[] = {time.year, time.month, time.day, time.hour, time.minute, time.second};
  std::wstring stamp;
  for (int field : fields) {
    if (!stamp.empty()) stamp += L'-';
    stamp.append(ZeroPadded(field, stamp.empty() ? 4 : 2));
  }
  return stamp;
}

std::wstring FormatText(const std::wstring& format, std::initializer_list<std::wstring> args) {
  std::wstring out;
  out.reserve(format.size());
  auto next = args.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    wchar_t c = format[i];
    if (c == L'%' && i + 1 < format.size()) {
      wchar_t directive = format[i + 1];
      if (directive == L'%') {
        out += L'%';
        ++i;
        continue;
      }
      if (directive == L's' && next != args.end()) {
        out += *next++;
        ++i;
        continue;
      }
    }
    out += c;
  }
  return out;
}

std::wstring ToDecimal(std::uint32_t value) {
  wchar_t digits[11];
  std::size_t n = 0;
  do {
    digits[n++] = static_cast<wchar_t>(L'0' + value % 10);
    value /= 10;
  } while (value != 0);
  std::wstring out;
  while (n > 0) out += digits[--n];
  return out;
}

static wchar_t AsciiLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c; }

bool EqualsIgnoringAsciiCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

std::wstring ToHex(std::uint32_t value) {
  std::wstring out = L"0x";
  for (int shift = 28; shift >= 0; shift -= 4) out += L"0123456789ABCDEF"[(value >> shift) & 0xF];
  return out;
}

}  // namespace korvana
