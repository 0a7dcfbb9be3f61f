// Reads the installed and the new plug-in version and compares them.
#pragma once

#include <cstdint>
#include <string>

#include "packages/package_locator.h"
#include "platform/platform.h"
#include "support/message_box.h"

namespace korvana {

struct VersionQuad {
  std::int64_t first = 0;
  std::int64_t second = 0;
  std::int64_t third = 0;
  std::int64_t fourth = 0;
};

// Reads up to four dot-separated signed decimal numbers, as a wide scan of
// "%I64d.%I64d.%I64d.%I64d" does, stopping where the text no longer fits; fields
// not read stay 0. Never fails.
VersionQuad ParseVersionQuad(const std::wstring& text);

// ((first * 65536 + second) * 65536 + third) * 65536 + fourth, wrapping in 64 bits.
std::int64_t VersionKey(const VersionQuad& version);

// How the new package's version compares with the installed product's, by VersionKey.
enum class VersionComparison { InstalledNewer, Same, PackageNewer };

// What CompareVersions read and found; the texts also name the versions in the update
// question.
struct VersionFindings {
  VersionComparison comparison = VersionComparison::Same;
  std::wstring installedVersion;  // the installed product's "VersionString"
  std::wstring productName;       // the new package's "ProductName"
  std::wstring productVersion;    // the new package's "ProductVersion"
};

// Reads the installed product's "VersionString" and the name and version of the new
// package VersionSearch(suffix) finds, and compares the versions. A read that fails
// ends it with its error box (kept back by `boxes`); `found` is complete only on 0.
Status CompareVersions(Platform& platform, PackageLocator& locator, const std::wstring& installedCode,
                       const std::wstring& suffix, const Boxes& boxes, VersionFindings& found);

}  // namespace korvana
