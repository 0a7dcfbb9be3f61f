// Small wide-text helpers with one behaviour on every build (msvcrt and glibc differ
// on %s in wide formats; these do not depend on either).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

namespace korvana {

// Fills each "%s" of `format` with the next argument, in order; "%%" gives "%".
// Placeholders beyond the arguments are left as they stand; surplus arguments are
// ignored. Any other "%x" is copied unchanged.
std::wstring FormatText(const std::wstring& format, std::initializer_list<std::wstring> args);

// Unsigned decimal digits of `value`.
std::wstring ToDecimal(std::uint32_t value);

// `value` in decimal, zero-padded on the left to `width` digits; a negative value
// (which no clock gives) keeps its sign in front rather than being misread.
std::wstring ZeroPadded(int value, std::size_t width);

// "0x" and eight upper-case hexadecimal digits of `value`.
std::wstring ToHex(std::uint32_t value);

// White space as the scanf family skips it in the C locale: blank, tab, line feed,
// vertical tab, form feed and carriage return. The one set of every scan of ours, so
// a text reads the same on both builds, whatever their runtime's locale says.
inline bool IsScanSpace(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

// Whether the user's interface is Russian (Russia) exactly, which alone chooses the
// Russian package and the CSP's Russian default; other Russian sublanguages get English.
bool IsRussianRussia(std::uint16_t uiLanguage);

// Case-insensitive comparison of ASCII letters only (as _wcsicmp in the C locale).
bool EqualsIgnoringAsciiCase(const std::wstring& a, const std::wstring& b);

// Local time as "%Y-%m-%d-%H-%M-%S", the stamp in the names of the logs.
struct LocalTime;
std::wstring FormatTimeStamp(const LocalTime& time);

}  // namespace korvana
