#include "platform/win32/trust.h"

namespace korvana::win32 {
namespace {

// WinVerifyTrust and the two structures it is given, declared here rather than taken
// from <wintrust.h>: nothing in this program may link against wintrust.dll. The
// structures are given at the size every wintrust.dll since XP knows; later SDKs
// append fields that older systems do not.
using WinVerifyTrustFunction = LONG(WINAPI*)(HWND window, GUID* action, LPVOID data);

struct TrustFileInfo {           // WINTRUST_FILE_INFO
  DWORD cbStruct;
  LPCWSTR pcwszFilePath;
  HANDLE hFile;
  const GUID* pgKnownSubject;
};

struct TrustData {               // WINTRUST_DATA
  DWORD cbStruct;
  LPVOID pPolicyCallbackData;
  LPVOID pSIPClientData;
  DWORD dwUIChoice;
  DWORD fdwRevocationChecks;
  DWORD dwUnionChoice;
  TrustFileInfo* pFile;          // the union's member for WTD_CHOICE_FILE
  DWORD dwStateAction;
  HANDLE hWVTStateData;
  LPWSTR pwszURLReference;
  DWORD dwProvFlags;
  DWORD dwUIContext;
};

// The leading fields of CRYPT_PROVIDER_CERT and CRYPT_PROVIDER_SGNR, as far as the
// signer's certificate; the helpers hand out pointers into wintrust's own state.
struct ProviderCert {
  DWORD cbStruct;
  const void* pCert;             // PCCERT_CONTEXT
};
struct ProviderSigner {
  DWORD cbStruct;
  FILETIME sftVerifyAsOf;
  DWORD csCertChain;
  ProviderCert* pasCertChain;
};
using ProvDataFromStateDataFunction = void*(WINAPI*)(HANDLE stateData);
using GetProvSignerFromChainFunction = ProviderSigner*(WINAPI*)(void* providerData, DWORD signer,
                                                                 BOOL counterSigner,
                                                                 DWORD counterSignerIndex);
using CertGetNameStringWFunction = DWORD(WINAPI*)(const void* certificate, DWORD type, DWORD flags,
                                                  void* typeParameter, LPWSTR name, DWORD characters);
constexpr DWORD kNameSimpleDisplay = 4;  // CERT_NAME_SIMPLE_DISPLAY_TYPE

// The 32-bit layouts.
static_assert(sizeof(TrustFileInfo) == 16, "WINTRUST_FILE_INFO is 16 bytes");
static_assert(sizeof(TrustData) == 48, "WINTRUST_DATA is 48 bytes");

constexpr DWORD kUiNone = 2;             // WTD_UI_NONE
constexpr DWORD kRevokeNone = 0;         // WTD_REVOKE_NONE
constexpr DWORD kChoiceFile = 1;         // WTD_CHOICE_FILE
constexpr DWORD kStateActionVerify = 1;  // WTD_STATEACTION_VERIFY
constexpr DWORD kStateActionClose = 2;   // WTD_STATEACTION_CLOSE

// WINTRUST_ACTION_GENERIC_VERIFY_V2: Authenticode.
GUID GenericVerifyV2() {
  return {0x00AAC56B, 0xCD44, 0x11D0, {0x8C, 0xC2, 0x00, 0xC0, 0x4F, 0xC2, 0x95, 0xEE}};
}

}  // namespace

std::wstring Win32Trust::SignerName(HANDLE state) {
  auto providerData = library_.Find<ProvDataFromStateDataFunction>("WTHelperProvDataFromStateData");
  auto signerOf = library_.Find<GetProvSignerFromChainFunction>("WTHelperGetProvSignerFromChain");
  auto nameOf = crypt32_.Find<CertGetNameStringWFunction>("CertGetNameStringW");
  if (state == nullptr || providerData == nullptr || signerOf == nullptr || nameOf == nullptr)
    return {};
  void* data = providerData(state);
  ProviderSigner* signer = data != nullptr ? signerOf(data, 0, FALSE, 0) : nullptr;
  if (signer == nullptr || signer->csCertChain == 0 || signer->pasCertChain == nullptr ||
      signer->pasCertChain[0].pCert == nullptr)
    return {};
  const void* certificate = signer->pasCertChain[0].pCert;
  // The size with its null first, then the name; 1 means an empty name.
  const DWORD size = nameOf(certificate, kNameSimpleDisplay, 0, nullptr, nullptr, 0);
  if (size <= 1) return {};
  std::wstring name(size, L'\0');
  const DWORD written = nameOf(certificate, kNameSimpleDisplay, 0, nullptr, &name[0], size);
  name.resize(written > 0 ? written - 1 : 0);
  return name;
}

TrustVerdict Win32Trust::VerifyFile(const std::wstring& path) {
  if (library_.Get() == nullptr) return {HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND), {}};
  auto verify = library_.Find<WinVerifyTrustFunction>("WinVerifyTrust");
  if (verify == nullptr) return {HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND), {}};

  TrustFileInfo file{sizeof(TrustFileInfo), path.c_str(), nullptr, nullptr};
  TrustData data{};
  data.cbStruct = sizeof(TrustData);
  data.dwUIChoice = kUiNone;
  data.fdwRevocationChecks = kRevokeNone;
  data.dwUnionChoice = kChoiceFile;
  data.pFile = &file;
  data.dwStateAction = kStateActionVerify;
  GUID action = GenericVerifyV2();
  const LONG result = verify(nullptr, &action, &data);
  // The verification keeps state for the caller to inspect: the signer is read from
  // it, then it is released, whatever the verdict.
  TrustVerdict verdict{result, SignerName(data.hWVTStateData)};
  data.dwStateAction = kStateActionClose;
  verify(nullptr, &action, &data);
  return verdict;
}

}  // namespace korvana::win32
