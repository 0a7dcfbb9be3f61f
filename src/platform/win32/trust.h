// Authenticode signature checks through WinVerifyTrust, reached through wintrust.dll
// loaded from the System32 folder at the first check and never unloaded.
#pragma once

#include "platform/trust.h"
#include "platform/win32/system_library.h"

namespace korvana::win32 {

class Win32Trust final : public Trust {
 public:
  // `libraryName`: the file in the System32 folder; tests name a missing one.
  explicit Win32Trust(const wchar_t* libraryName = L"wintrust.dll")
      : library_(libraryName), crypt32_(L"crypt32.dll") {}

  // WinVerifyTrust's result; HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND) without the
  // library, HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND) without the export. The signer
  // stays empty wherever a helper or crypt32.dll is missing.
  TrustVerdict VerifyFile(const std::wstring& path) override;

 private:
  std::wstring SignerName(HANDLE state);

  SystemLibrary library_;
  SystemLibrary crypt32_;
};

}  // namespace korvana::win32
