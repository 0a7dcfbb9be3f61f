#include "platform/win32/windows_installer.h"

#include <string>
#include <vector>

namespace korvana::win32 {
namespace {

// The ten entry points, declared here rather than taken from <msi.h>: nothing in this
// program may link against msi.dll.
using MSIHANDLE_ = unsigned long;
using MsiSetInternalUIFunction = int(WINAPI*)(int level, HWND* window);
using MsiOpenPackageExWFunction = UINT(WINAPI*)(LPCWSTR path, DWORD options, MSIHANDLE_* handle);
using MsiGetPropertyWFunction = UINT(WINAPI*)(MSIHANDLE_ handle, LPCWSTR name, LPWSTR buffer,
                                              DWORD* size);
using MsiCloseHandleFunction = UINT(WINAPI*)(MSIHANDLE_ handle);
using MsiEnumRelatedProductsWFunction = UINT(WINAPI*)(LPCWSTR upgradeCode, DWORD reserved,
                                                      DWORD index, LPWSTR productCode);
using MsiGetProductInfoWFunction = UINT(WINAPI*)(LPCWSTR product, LPCWSTR property,
                                                 LPWSTR buffer, DWORD* size);
using MsiQueryProductStateWFunction = int(WINAPI*)(LPCWSTR product);
using MsiQueryFeatureStateWFunction = int(WINAPI*)(LPCWSTR product, LPCWSTR feature);
using MsiSourceListClearAllWFunction = UINT(WINAPI*)(LPCWSTR product, LPCWSTR userName,
                                                     DWORD reserved);
using MsiSourceListSetInfoWFunction = UINT(WINAPI*)(LPCWSTR product, LPCWSTR userSid,
                                                    DWORD context, DWORD options,
                                                    LPCWSTR property, LPCWSTR value);

constexpr int kInstallStateUnknown = -1;  // INSTALLSTATE_UNKNOWN

}  // namespace

Status Win32WindowsInstaller::MissingStatus() {
  return Library() == nullptr ? ERROR_MOD_NOT_FOUND : ERROR_PROC_NOT_FOUND;
}

void Win32WindowsInstaller::SetInternalUI(std::uint32_t level) {
  if (auto setInternalUI = Resolve<MsiSetInternalUIFunction>("MsiSetInternalUI")) {
    setInternalUI(static_cast<int>(level), nullptr);
  }
}

Status Win32WindowsInstaller::OpenPackageEx(const std::wstring& path, std::uint32_t options,
                                            MsiToken* handle) {
  auto openPackageEx = Resolve<MsiOpenPackageExWFunction>("MsiOpenPackageExW");
  if (openPackageEx == nullptr) return MissingStatus();
  MSIHANDLE_ opened = 0;
  const UINT status = openPackageEx(path.c_str(), options, &opened);
  *handle = static_cast<MsiToken>(opened);
  return status;
}

Read<std::wstring> Win32WindowsInstaller::GetProperty(MsiToken handle, const std::wstring& name) {
  auto getProperty = Resolve<MsiGetPropertyWFunction>("MsiGetPropertyW");
  if (getProperty == nullptr) return {false, {}, MissingStatus()};
  return ReadPropertyText([&](wchar_t* buffer, DWORD* size) {
    return getProperty(static_cast<MSIHANDLE_>(handle), name.c_str(), buffer, size);
  });
}

void Win32WindowsInstaller::CloseHandle(MsiToken handle) {
  if (auto closeHandle = Resolve<MsiCloseHandleFunction>("MsiCloseHandle"))
    closeHandle(static_cast<MSIHANDLE_>(handle));
}

Read<std::wstring> Win32WindowsInstaller::EnumRelatedProducts(const std::wstring& upgradeCode,
                                                              std::uint32_t index) {
  auto enumRelated = Resolve<MsiEnumRelatedProductsWFunction>("MsiEnumRelatedProductsW");
  if (enumRelated == nullptr) return {false, {}, MissingStatus()};
  wchar_t product[39] = {};  // a braced GUID and its null
  const UINT status = enumRelated(upgradeCode.c_str(), 0, index, product);
  return {status == ERROR_SUCCESS, UpToFirstNull(product, 39), status};
}

SizedRead Win32WindowsInstaller::GetProductInfo(const std::wstring& product,
                                                const std::wstring& property) {
  auto getProductInfo = Resolve<MsiGetProductInfoWFunction>("MsiGetProductInfoW");
  if (getProductInfo == nullptr) return {{false, {}, MissingStatus()}, false};
  DWORD size = 0;
  UINT status = getProductInfo(product.c_str(), property.c_str(), nullptr, &size);
  // A length that leaves no room for the null cannot be asked for.
  if (status != ERROR_SUCCESS || size == MAXDWORD) return {{false, {}, status}, false};
  std::vector<wchar_t> value(++size, L'\0');
  status = getProductInfo(product.c_str(), property.c_str(), value.data(), &size);
  if (status != ERROR_SUCCESS) return {{false, {}, status}, true};
  return {{true, UpToFirstNull(value.data(), value.size()), 0}, true};
}

Read<std::wstring> Win32WindowsInstaller::GetProductInfoUpTo(const std::wstring& product,
                                                             const std::wstring& property,
                                                             std::uint32_t maxCharacters) {
  auto getProductInfo = Resolve<MsiGetProductInfoWFunction>("MsiGetProductInfoW");
  if (getProductInfo == nullptr) return {false, {}, MissingStatus()};
  std::vector<wchar_t> value(maxCharacters + 1, L'\0');
  DWORD size = maxCharacters + 1;
  const UINT status = getProductInfo(product.c_str(), property.c_str(), value.data(), &size);
  if (status != ERROR_SUCCESS) return {false, {}, status};
  return {true, UpToFirstNull(value.data(), value.size()), 0};
}

int Win32WindowsInstaller::QueryProductState(const std::wstring& product) {
  auto queryProductState = Resolve<MsiQueryProductStateWFunction>("MsiQueryProductStateW");
  if (queryProductState == nullptr) return kInstallStateUnknown;
  return queryProductState(product.c_str());
}

int Win32WindowsInstaller::QueryFeatureState(const std::wstring& product,
                                             const std::wstring& feature) {
  auto queryFeatureState = Resolve<MsiQueryFeatureStateWFunction>("MsiQueryFeatureStateW");
  if (queryFeatureState == nullptr) return kInstallStateUnknown;
  return queryFeatureState(product.c_str(), feature.c_str());
}

Status Win32WindowsInstaller::SourceListClearAll(const std::wstring& product) {
  auto clearAll = Resolve<MsiSourceListClearAllWFunction>("MsiSourceListClearAllW");
  if (clearAll == nullptr) return MissingStatus();
  return clearAll(product.c_str(), nullptr, 0);
}

Status Win32WindowsInstaller::SourceListSetInfo(const std::wstring& product,
                                                std::uint32_t context, std::uint32_t options,
                                                const std::wstring& property,
                                                const std::wstring& value) {
  auto setInfo = Resolve<MsiSourceListSetInfoWFunction>("MsiSourceListSetInfoW");
  if (setInfo == nullptr) return MissingStatus();
  return setInfo(product.c_str(), nullptr, context, options, property.c_str(), value.c_str());
}

}  // namespace korvana::win32
