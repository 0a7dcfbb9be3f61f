#include "browser_offer/content_disposition.h"

#include <cwchar>

#include "support/text.h"

namespace korvana {
namespace {

// The input as the scan sees it: bounded by the count and by the first null.
class Input {
 public:
  Input(const wchar_t* text, std::size_t count) : text_(text), end_(text ? count : 0) {
    for (std::size_t i = 0; i < end_; ++i) {
      if (text_[i] == L'\0') {
        end_ = i;
        break;
      }
    }
  }
  bool AtEnd() const { return pos_ >= end_; }
  wchar_t Peek() const { return text_[pos_]; }
  void Advance() { ++pos_; }

  void SkipSpace() {
    while (!AtEnd() && IsScanSpace(Peek())) Advance();
  }
  // Matches `literal`, each blank in it matching any run of white space.
  bool Match(const wchar_t* literal) {
    for (; *literal != L'\0'; ++literal) {
      if (IsScanSpace(*literal)) {
        SkipSpace();
        continue;
      }
      if (AtEnd() || Peek() != *literal) return false;
      Advance();
    }
    return true;
  }

 private:
  const wchar_t* text_;
  std::size_t end_;
  std::size_t pos_ = 0;
};

bool IsDeviceName(const std::wstring& name) {
  // The part before the first dot decides ("nul.exe" is still the device), and
  // Windows ignores blanks before that dot too.
  std::wstring stem = name.substr(0, name.find(L'.'));
  while (!stem.empty() && stem.back() == L' ') stem.pop_back();
  static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
  for (const wchar_t* device : kDevices)
    if (EqualsIgnoringAsciiCase(stem, device)) return true;
  if (stem.size() == 4 && (EqualsIgnoringAsciiCase(stem.substr(0, 3), L"COM") ||
                           EqualsIgnoringAsciiCase(stem.substr(0, 3), L"LPT"))) {
    wchar_t digit = stem[3];
    // Windows also treats the superscript digits ¹ ² ³ as port numbers.
    return (digit >= L'1' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' ||
           digit == L'\u00B3';
  }
  return false;
}

}  // namespace

std::optional<std::wstring> ScanAttachmentFileName(const wchar_t* value, std::size_t count) {
  Input in(value, count);
  if (!in.Match(L"attachment; filename = \"")) return std::nullopt;
  std::wstring name;
  while (!in.AtEnd() && in.Peek() != L'"') {
    name.push_back(in.Peek());
    in.Advance();
  }
  if (name.empty()) return std::nullopt;
  return name;
}

bool IsPlainFileName(const std::wstring& name) {
  if (name.empty() || name == L"." || name == L"..") return false;
  for (wchar_t c : name) {
    if (c < 0x20 || std::wcschr(L"\\/:<>\"|?*", c) != nullptr) return false;
  }
  if (name.back() == L'.' || name.back() == L' ') return false;
  return !IsDeviceName(name);
}

}  // namespace korvana
