// Files the run starts only when they carry the signature it expects, held from their
// check until the program started from them has ended: the file that runs is the file
// that was checked.
#pragma once

#include <string>

#include "platform/platform.h"

namespace korvana {

// Whether a checked file may run: Windows trusts its signature (`verdict.result` is
// 0) and, with a publisher pinned, the signer read is exactly that publisher.
bool SignatureAccepted(const TrustVerdict& verdict, const wchar_t* pinnedPublisher);

// TRUST_E_SUBJECT_NOT_TRUSTED: what a signature Windows trusts comes to when it is
// another publisher's.
inline constexpr Status kOtherPublisher = 0x800B0004;
// ERROR_OPEN_FAILED: a hold that failed without an error code of its own.
inline constexpr Status kHoldFailed = 110;

// With no `publisher` pinned: nothing is opened or checked, 0. Otherwise `path` is
// opened into `held` for reading with read sharing only, so that nobody, not even
// another administrator's process, can write, rename or delete it while it is held;
// then its Authenticode signature is checked. 0 when Windows trusts it and its signer
// is exactly `publisher`: `held` stays open, for the caller to keep until the program
// started from the file has ended. Else `held` is closed, and the result is the open's
// error, WinVerifyTrust's result, or kOtherPublisher. The check is logged with the
// result and the signer read.
Status HoldSignedFile(Platform& platform, const std::wstring& path, const wchar_t* publisher,
                      FileHandle& held);

}  // namespace korvana
