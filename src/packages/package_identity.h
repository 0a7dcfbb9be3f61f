// Reads a package's identity and the installed related product through Windows
// Installer, with the package opened without touching the machine's state.
#pragma once

#include <string>

#include "packages/package_locator.h"
#include "platform/platform.h"
#include "support/message_box.h"

namespace korvana {

enum class CodeRequest { OwnProductCode, RelatedProductCode };

// The package's own "ProductCode", or the code of the first installed product that
// shares its "UpgradeCode". Shows nothing.
Status ReadPackageCode(Platform& platform, PackageLocator& locator, CodeRequest request,
                       std::wstring& code);

// "ProductName" and "ProductVersion" of the package VersionSearch(suffix) finds;
// text::kNewPackageNotFound, kNewPackageUnopenable and kNewPackageVersionUnreadable
// (kPackageErrorLook) through `boxes`.
Status ReadNewPackageInfo(Platform& platform, PackageLocator& locator, const std::wstring& suffix,
                          const Boxes& boxes, std::wstring& productName,
                          std::wstring& productVersion);

}  // namespace korvana
