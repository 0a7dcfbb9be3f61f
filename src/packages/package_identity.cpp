#include "packages/package_identity.h"

#include "platform/win_constants.h"
#include "resources/text_ids.h"
#include "support/log_event.h"
#include "support/message_box.h"
#include "support/text.h"

namespace korvana {
namespace {

// Opens `path` without touching the machine's installation state. The handle goes
// to `package` only when the open succeeded, so a failed open is never closed.
Status OpenPackage(WindowsInstaller& msi, const std::wstring& path, PackageHandle& package) {
  MsiToken opened{};
  Status status = msi.OpenPackageEx(path, win::MSIOPENPACKAGEFLAGS_IGNOREMACHINESTATE, &opened);
  if (status != win::ERROR_SUCCESS) return status;
  *package.put() = opened;
  return win::ERROR_SUCCESS;
}

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
    const Read<std::wstring> own = msi.GetProperty(package.get(), L"ProductCode");
    code = own.value;
    LogRead(platform, L"ProductCode", own.status, code);
    return own.status;
  }

  const Read<std::wstring> upgradeCode = msi.GetProperty(package.get(), L"UpgradeCode");
  LogRead(platform, L"UpgradeCode", upgradeCode.status, upgradeCode.value);
  if (!upgradeCode.ok) return upgradeCode.status;

  // Only the first installed product with this upgrade code is looked at; the code is
  // whatever the enumeration left, also when it failed.
  const Read<std::wstring> related = msi.EnumRelatedProducts(upgradeCode.value, 0);
  code = related.value;
  status = related.status;
  if (status == win::ERROR_NO_MORE_ITEMS) LogEvent(platform, {L"related product: none installed"});
  else LogRead(platform, L"related product", status, code);
  return status;
}

Status ReadNewPackageInfo(Platform& platform, PackageLocator& locator, const std::wstring& suffix,
                          const Boxes& boxes, std::wstring& productName,
                          std::wstring& productVersion) {
  std::wstring path;
  Status status = locator.VersionSearch(suffix, path);
  if (status != win::ERROR_SUCCESS) {
    boxes.ShowText(text::kNewPackageNotFound, kPackageErrorLook);
    return status;
  }

  WindowsInstaller& msi = platform.msi;
  PackageHandle package(msi);
  status = OpenPackage(msi, path, package);
  LogRead(platform, path, status, L"opened");
  if (status != win::ERROR_SUCCESS) {
    boxes.ShowText(text::kNewPackageUnopenable, kPackageErrorLook);
    return status;
  }

  // The boxes below are answered while the package is still open; it closes on return.
  const Read<std::wstring> name = msi.GetProperty(package.get(), L"ProductName");
  productName = name.value;
  LogRead(platform, L"ProductName", name.status, productName);
  if (!name.ok) {
    boxes.ShowText(text::kNewPackageVersionUnreadable, kPackageErrorLook);
    return name.status;
  }
  const Read<std::wstring> version = msi.GetProperty(package.get(), L"ProductVersion");
  productVersion = version.value;
  status = version.status;
  // An undefined property reads as empty, and an empty version would compare as
  // 0.0.0.0: the installed product would pass for newer, or a silent run would
  // replace it with a package of no version. Such a version is as unknown as an
  // unreadable one.
  if (status == win::ERROR_SUCCESS && productVersion.empty())
    status = win::ERROR_INSTALL_PACKAGE_INVALID;
  LogRead(platform, L"ProductVersion", status, productVersion);
  if (status != win::ERROR_SUCCESS) {
    boxes.ShowText(text::kNewPackageVersionUnreadable, kPackageErrorLook);
    return status;
  }
  return win::ERROR_SUCCESS;
}

}  // namespace korvana
