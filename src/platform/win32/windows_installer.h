// Windows Installer, reached through msi.dll loaded from the System32 folder.
//
// msi.dll is not imported: an import would be resolved by the loader's usual search,
// which for an elevated setup program started from a download folder starts in that
// folder. It is loaded by full path, once, at the first call that needs it, and stays
// loaded for the rest of the process, as every System32 library of the program does.
#pragma once

#include "platform/platform.h"
#include "platform/win32/system_library.h"

namespace korvana::win32 {

class Win32WindowsInstaller final : public WindowsInstaller {
 public:
  // `libraryName`: the file in the System32 folder; tests name a missing one to see
  // every operation fail cleanly.
  explicit Win32WindowsInstaller(const wchar_t* libraryName = L"msi.dll")
      : library_(libraryName) {}

  void SetInternalUI(std::uint32_t level) override;
  Status OpenPackageEx(const std::wstring& path, std::uint32_t options,
                       MsiToken* handle) override;
  Status GetProperty(MsiToken handle, const std::wstring& name, wchar_t* buffer,
                     std::uint32_t* size) override;
  void CloseHandle(MsiToken handle) override;
  Status EnumRelatedProducts(const std::wstring& upgradeCode, std::uint32_t index,
                             wchar_t* buffer) override;
  Status GetProductInfo(const std::wstring& product, const std::wstring& property,
                        wchar_t* buffer, std::uint32_t* size) override;
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
