// Authenticode (wintrust.dll and crypt32.dll, from System32 only).
#pragma once

#include <cstdint>
#include <string>

namespace korvana {

struct [[nodiscard]] TrustVerdict {
  std::int32_t result = 0;  // WinVerifyTrust's
  std::wstring signer;      // the signer certificate's simple display name; empty when none was read
};

class Trust {
 public:
  virtual ~Trust() = default;
  // WinVerifyTrust(no window, WINTRUST_ACTION_GENERIC_VERIFY_V2) on the file `path`:
  // WINTRUST_FILE_INFO {16, path, no handle, no subject}; WINTRUST_DATA {48, no
  // policy or SIP data, WTD_UI_NONE, WTD_REVOKE_NONE, WTD_CHOICE_FILE,
  // WTD_STATEACTION_VERIFY, no URL reference, no provider flags, UI context 0}.
  // From the state it keeps: WTHelperProvDataFromStateData, WTHelperGetProvSignerFromChain
  // (signer 0, not a counter-signer) and CertGetNameStringW(CERT_NAME_SIMPLE_DISPLAY_TYPE)
  // of the first certificate of its chain. Then WinVerifyTrust once more on the same
  // data with WTD_STATEACTION_CLOSE to release the state. The first call's result.
  virtual TrustVerdict VerifyFile(const std::wstring& path) = 0;
};

}  // namespace korvana
