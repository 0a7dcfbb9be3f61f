#include "packages/package_identity.h"

#include <algorithm>
#include <cstddef>
#include <limits>

#include "platform/win_constants.h"
#include "resources/text_ids.h"
#include "support/log_event.h"
#include "support/message_box.h"
#include "support/text.h"

namespace korvana {
namespace {

// A related product's code: a braced GUID of 38 characters and its null.
constexpr std::size_t kProductCodeBuffer = 39;

// Opens `path` without touching the machine's installation state. The handle goes
// to `package` only when the open succeeded, so a failed open is never closed.
Status OpenPackage(WindowsInstaller& msi, const std::wstring& path, PackageHandle& package) {
  MsiToken opened{};
  Status status = msi.OpenPackageEx(path, win::MSIOPENPACKAGEFLAGS_IGNOREMACHINESTATE, &opened);
  if (status != win::ERROR_SUCCESS) return status;
  *package.Receive() = opened;
  return win::ERROR_SUCCESS;
}

void ShowPackageError(Platform& platform, bool silent, std::uint16_t textId) {
  ShowTextBox(platform, silent, Owner::None, textId, text::kErrorCaption, kErrorBox);
}

}  // namespace

Status ReadPackageProperty(WindowsInstaller& msi, MsiToken package, const std::wstring& name,
                           std::wstring& value) {
  // First call: no room at all, to learn the value's length.
  wchar_t none[1] = {L'\0'};
  std::uint32_t size = 0;
  Status status = msi.GetProperty(package, name, none, &size);
  if (status != win::ERROR_MORE_DATA) return status;
  // A length that leaves no room for the null cannot be asked for.
  if (size == std::numeric_limits<std::uint32_t>::max()) return status;

  // Second call into the caller's own text, grown to hold the value and its null.
  // Whatever the call leaves there is kept up to its first null, also on failure.
  size += 1;
  if (value.size() < size) value.resize(size, L'\0');
  status = msi.GetProperty(package, name, &value[0], &size);
  value.resize(std::find(value.begin(), value.end(), L'\0') - value.begin());
  return status;
}

namespace {

// What a read gave, or how it failed, for the run's log.
void LogRead(Platform& platform, LogPiece what, Status status, LogPiece value) {
  if (status == win::ERROR_SUCCESS) LogEvent(platform, {what, L": ", value});
  else LogEvent(platform, {what, L": error ", ToDecimal(status)});
}

}  // namespace

Status ReadPackageCode(Platform& platform, PackageLocator& locator, CodeRequest request,
                       std::wstring& code) {
  std::wstring path;
  Status status = locator.IdentitySearch(path);
  if (status != win::ERROR_SUCCESS) return status;

  WindowsInstaller& msi = platform.msi;
  PackageHandle package(msi);
  status = OpenPackage(msi, path, package);
  LogRead(platform, path, status, L"opened");
  if (status != win::ERROR_SUCCESS) return status;

  if (request == CodeRequest::OwnProductCode) {
    status = ReadPackageProperty(msi, package.get(), L"ProductCode", code);
    LogRead(platform, L"ProductCode", status, code);
    return status;
  }

  std::wstring upgradeCode;
  status = ReadPackageProperty(msi, package.get(), L"UpgradeCode", upgradeCode);
  LogRead(platform, L"UpgradeCode", status, upgradeCode);
  if (status != win::ERROR_SUCCESS) return status;

  // Only the first installed product with this upgrade code is looked at.
  wchar_t related[kProductCodeBuffer] = {};
  status = msi.EnumRelatedProducts(upgradeCode, 0, related);
  code = UpToFirstNull(related, kProductCodeBuffer);
  if (status == win::ERROR_NO_MORE_ITEMS) LogEvent(platform, {L"related product: none installed"});
  else LogRead(platform, L"related product", status, code);
  return status;
}

Status ReadNewPackageInfo(Platform& platform, PackageLocator& locator, const std::wstring& suffix,
                          bool silent, std::wstring& productName, std::wstring& productVersion) {
  std::wstring path;
  Status status = locator.VersionSearch(suffix, path);
  if (status != win::ERROR_SUCCESS) {
    ShowPackageError(platform, silent, text::kNewPackageNotFound);
    return status;
  }

  WindowsInstaller& msi = platform.msi;
  PackageHandle package(msi);
  status = OpenPackage(msi, path, package);
  LogRead(platform, path, status, L"opened");
  if (status != win::ERROR_SUCCESS) {
    ShowPackageError(platform, silent, text::kNewPackageUnopenable);
    return status;
  }

  // The boxes below are answered while the package is still open; it closes on return.
  status = ReadPackageProperty(msi, package.get(), L"ProductName", productName);
  LogRead(platform, L"ProductName", status, productName);
  if (status != win::ERROR_SUCCESS) {
    ShowPackageError(platform, silent, text::kNewPackageVersionUnreadable);
    return status;
  }
  status = ReadPackageProperty(msi, package.get(), L"ProductVersion", productVersion);
  // An undefined property reads as empty, and an empty version would compare as
  // 0.0.0.0: the installed product would pass for newer, or a silent run would
  // replace it with a package of no version. Such a version is as unknown as an
  // unreadable one.
  if (status == win::ERROR_SUCCESS && productVersion.empty())
    status = win::ERROR_INSTALL_PACKAGE_INVALID;
  LogRead(platform, L"ProductVersion", status, productVersion);
  if (status != win::ERROR_SUCCESS) {
    ShowPackageError(platform, silent, text::kNewPackageVersionUnreadable);
    return status;
  }
  return win::ERROR_SUCCESS;
}

}  // namespace korvana
