// Compares the installed and the new plug-in version and asks about an update.
#pragma once

#include <cstdint>
#include <string>

#include "packages/package_locator.h"
#include "platform/platform.h"

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

// UpdateDeclined: the new version is newer, and the user answered No to the update.
enum class VersionOutcome { InstalledNewer = -1, Same = 0, Update = 1, UpdateDeclined = 2 };

// Reads the installed product's "VersionString" and the new package's name and
// version, compares them, and (unless silent, when askUpdate) asks the update
// question (text::kUpdateQuestion). `outcome` is written only on status 0.
Status DecideVersion(Platform& platform, PackageLocator& locator, const std::wstring& installedCode,
                     const std::wstring& suffix, bool silent, bool askUpdate,
                     VersionOutcome& outcome, std::wstring& installedVersion);

}  // namespace korvana
