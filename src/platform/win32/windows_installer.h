// Windows Installer, reached through msi.dll loaded from the System32 folder.
//
// msi.dll is not imported: an import would be resolved by the loader's usual search,
// which for an elevated setup program started from a download folder starts in that
// folder. It is loaded by full path, once, at the first call that needs it, and stays
// loaded for the rest of the process, as every System32 library of the program does.
#pragma once

#include <cwchar>

#include "platform/windows_installer.h"
#include "platform/win32/system_library.h"

namespace korvana::win32 {

// MsiGetPropertyW's two calls as GetProperty makes them, through `call(buffer, size)`:
// the length into no room, then the value into room for it and its null.
template <typename Call>
Read<std::wstring> ReadPropertyText(Call call) {
  wchar_t none[1] = {L'\0'};
  DWORD size = 0;
  UINT status = call(none, &size);
  if (status != ERROR_MORE_DATA) return {status == ERROR_SUCCESS, {}, status};
  // A length that leaves no room for the null cannot be asked for.
  if (size == MAXDWORD) return {false, {}, status};
  std::wstring value(++size, L'\0');
  status = call(&value[0], &size);
  // Whatever the call left is kept up to its first null, also on failure.
  value.resize(std::wcslen(value.c_str()));
  return {status == ERROR_SUCCESS, std::move(value), status};
}

class Win32WindowsInstaller final : public WindowsInstaller {
 public:
  // `libraryName`: the file in the System32 folder; tests name a missing one to see
  // every operation fail cleanly.
  explicit Win32WindowsInstaller(const wchar_t* libraryName = L"msi.dll")
      : library_(libraryName) {}

  void SetInternalUI(std::uint32_t level) override;
  Status OpenPackageEx(const std::wstring& path, std::uint32_t options,
                       MsiToken* handle) override;
  Read<std::wstring> GetProperty(MsiToken handle, const std::wstring& name) override;
  void CloseHandle(MsiToken handle) override;
  Read<std::wstring> EnumRelatedProducts(const std::wstring& upgradeCode,
                                         std::uint32_t index) override;
  SizedRead GetProductInfo(const std::wstring& product, const std::wstring& property) override;
  Read<std::wstring> GetProductInfoUpTo(const std::wstring& product, const std::wstring& property,
                                        std::uint32_t maxCharacters) override;
  int QueryProductState(const std::wstring& product) override;
  int QueryFeatureState(const std::wstring& product, const std::wstring& feature) override;
  Status SourceListClearAll(const std::wstring& product) override;
  Status SourceListSetInfo(const std::wstring& product, std::uint32_t context,
                           std::uint32_t options, const std::wstring& property,
                           const std::wstring& value) override;

  // The loaded library, or null when it could not be loaded (loads it if needed).
  HMODULE Library() { return library_.Get(); }

 private:
  // ERROR_MOD_NOT_FOUND without the library, else ERROR_PROC_NOT_FOUND.
  Status MissingStatus();

  // Export `name`, or null when the library or the export is missing.
  template <typename Function>
  Function Resolve(const char* name) {
    return library_.Find<Function>(name);
  }

  SystemLibrary library_;
};

}  // namespace korvana::win32
