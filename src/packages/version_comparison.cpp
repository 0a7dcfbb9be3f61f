#include "packages/version_comparison.h"

#include <limits>

#include "run/exit_codes.h"
#include "packages/package_identity.h"
#include "platform/win_constants.h"
#include "resources/text_ids.h"
#include "support/log_event.h"
#include "support/message_box.h"
#include "support/text.h"

namespace korvana {
namespace {

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// One signed decimal field, as "%I64d" reads it: white space skipped, an optional
// sign, then at least one digit. A value beyond the signed 64-bit range saturates at
// its limit (as strtoll does) while every digit of it is still consumed, so a huge
// field can never turn into a small or negative number. False when no digit follows.
bool ScanField(const std::wstring& text, std::size_t& at, std::int64_t& field) {
  std::size_t i = at;
  while (i < text.size() && IsScanSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
    negative = text[i] == L'-';
    ++i;
  }
  if (i >= text.size() || !IsDigit(text[i])) return false;

  // The magnitude is gathered as unsigned, capped at the largest one the sign allows.
  const std::uint64_t limit =
      negative ? std::uint64_t{1} << 63 : std::uint64_t(std::numeric_limits<std::int64_t>::max());
  std::uint64_t magnitude = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    const std::uint64_t digit = static_cast<std::uint64_t>(text[i] - L'0');
    if (magnitude > (limit - digit) / 10) {
      magnitude = limit;
    } else {
      magnitude = magnitude * 10 + digit;
    }
  }
  at = i;
  if (!negative) {
    field = static_cast<std::int64_t>(magnitude);
  } else if (magnitude == limit) {
    field = std::numeric_limits<std::int64_t>::min();
  } else {
    field = -static_cast<std::int64_t>(magnitude);
  }
  return true;
}

}  // namespace

VersionQuad ParseVersionQuad(const std::wstring& text) {
  VersionQuad version;
  std::int64_t* const fields[] = {&version.first, &version.second, &version.third,
                                  &version.fourth};
  std::size_t at = 0;
  for (std::size_t n = 0; n < 4; ++n) {
    // Between two numbers the dot must come at once; white space is skipped only
    // after it, by the number itself.
    if (n > 0) {
      if (at >= text.size() || text[at] != L'.') break;
      ++at;
    }
    if (!ScanField(text, at, *fields[n])) break;
  }
  return version;
}

std::int64_t VersionKey(const VersionQuad& version) {
  // Unsigned arithmetic wraps by definition; the result is read back as two's complement.
  std::uint64_t key = static_cast<std::uint64_t>(version.first);
  key = key * 65536 + static_cast<std::uint64_t>(version.second);
  key = key * 65536 + static_cast<std::uint64_t>(version.third);
  key = key * 65536 + static_cast<std::uint64_t>(version.fourth);
  return static_cast<std::int64_t>(key);
}

Status CompareVersions(Platform& platform, PackageLocator& locator, const std::wstring& installedCode,
                       const std::wstring& suffix, const Boxes& boxes, VersionFindings& found) {
  const SizedRead installed = platform.msi.GetProductInfo(installedCode, L"VersionString");
  if (!installed.ok) {
    // An installed version that cannot be read is logged and told. The run ends with
    // the read's status, or with its own code when not even the length could be had.
    LogEvent(platform, {L"installed version: error ", ToDecimal(installed.status)});
    boxes.ShowText(text::kInstalledVersionUnreadable, kPackageErrorLook);
    return installed.lengthRead ? installed.status : exit_code::kInstalledVersionUnreadable;
  }
  found.installedVersion = installed.value;
  LogEvent(platform, {L"installed version: ", found.installedVersion});

  Status status =
      ReadNewPackageInfo(platform, locator, suffix, boxes, found.productName, found.productVersion);
  if (status != win::ERROR_SUCCESS) return status;

  const std::int64_t installedKey = VersionKey(ParseVersionQuad(found.installedVersion));
  const std::int64_t newKey = VersionKey(ParseVersionQuad(found.productVersion));
  found.comparison = newKey > installedKey    ? VersionComparison::PackageNewer
                     : newKey == installedKey ? VersionComparison::Same
                                              : VersionComparison::InstalledNewer;
  LogEvent(platform, {newKey > installedKey    ? L"decision: update"
                      : newKey == installedKey ? L"decision: same version"
                                               : L"decision: newer installed"});
  return win::ERROR_SUCCESS;
}

}  // namespace korvana
