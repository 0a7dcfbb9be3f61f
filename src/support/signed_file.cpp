#include "support/signed_file.h"

#include "platform/win_constants.h"
#include "support/log_event.h"
#include "support/text.h"

namespace korvana {

bool SignatureAccepted(const TrustVerdict& verdict, const wchar_t* pinnedPublisher) {
  if (verdict.result != 0) return false;
  // A signer that could not be read (empty) never matches a pinned publisher.
  return *pinnedPublisher == L'\0' || verdict.signer == pinnedPublisher;
}

Status HoldSignedFile(Platform& platform, const std::wstring& path, const wchar_t* publisher,
                      FileHandle& held) {
  if (*publisher == L'\0') return 0;
  Status result = 0;
  *held.put() = platform.files.CreateFile(path, win::GENERIC_READ, win::FILE_SHARE_READ,
                                              win::OPEN_EXISTING, win::FILE_ATTRIBUTE_NORMAL, &result);
  // A file not held is not checked: no verdict, no signer.
  const bool isHeld = static_cast<bool>(held);
  const TrustVerdict trust = isHeld ? platform.trust.VerifyFile(path) : TrustVerdict{};
  if (isHeld) {
    result = static_cast<Status>(trust.result);
    if (result == 0 && !SignatureAccepted(trust, publisher)) result = kOtherPublisher;
  } else if (result == 0) {
    result = kHoldFailed;
  }
  LogEvent(platform, {L"package check: ", path, L": ", ToHex(result),
                      isHeld ? L", signer " : L", not held", trust.signer});
  if (result != 0) held.reset();
  return result;
}

}  // namespace korvana
