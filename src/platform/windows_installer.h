// Windows Installer (msi.dll, from System32 only). Reads are ok when the status is 0.
#pragma once

#include <string>

#include "platform/tokens.h"

namespace korvana {

// A read that asks for the value's length first: `lengthRead` tells whether that much
// succeeded (with a length that leaves room for the null).
struct [[nodiscard]] SizedRead : Read<std::wstring> {
  bool lengthRead = false;
};

class WindowsInstaller {
 public:
  virtual ~WindowsInstaller() = default;
  virtual void SetInternalUI(std::uint32_t level) = 0;  // no window
  [[nodiscard]] virtual Status OpenPackageEx(const std::wstring& path, std::uint32_t options,
                                             MsiToken* handle) = 0;
  // MsiGetPropertyW twice: into no room, to learn the length (any status but
  // ERROR_MORE_DATA is the answer, an empty value on success), then into room for the
  // value and its null. The value up to its first null, also what a failed call left.
  virtual Read<std::wstring> GetProperty(MsiToken handle, const std::wstring& name) = 0;
  virtual void CloseHandle(MsiToken handle) = 0;
  // MsiEnumRelatedProductsW into 39 characters: a product code, up to its first null.
  virtual Read<std::wstring> EnumRelatedProducts(const std::wstring& upgradeCode,
                                                 std::uint32_t index) = 0;
  // MsiGetProductInfoW twice: the length (no buffer), then the value with room for its
  // null, up to its first null.
  virtual SizedRead GetProductInfo(const std::wstring& product, const std::wstring& property) = 0;
  // MsiGetProductInfoW once, into room for `maxCharacters` and the null: a longer value
  // is not read (ERROR_MORE_DATA).
  virtual Read<std::wstring> GetProductInfoUpTo(const std::wstring& product,
                                                const std::wstring& property,
                                                std::uint32_t maxCharacters) = 0;
  virtual int QueryProductState(const std::wstring& product) = 0;
  virtual int QueryFeatureState(const std::wstring& product, const std::wstring& feature) = 0;
  [[nodiscard]] virtual Status SourceListClearAll(const std::wstring& product) = 0;  // no user name
  [[nodiscard]] virtual Status SourceListSetInfo(const std::wstring& product, std::uint32_t context,
                                   std::uint32_t options, const std::wstring& property,
                                   const std::wstring& value) = 0;  // no user SID
};

using PackageHandle = ScopedToken<WindowsInstaller, MsiToken, &WindowsInstaller::CloseHandle>;

}  // namespace korvana
