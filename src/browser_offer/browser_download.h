// The browser offer's network half: the download address, the download itself and
// the maker's optional TLS patch that must be in place before it.
#pragma once

#include <atomic>
#include <string>

#include "platform/platform.h"
#include "support/build_settings.h"  // BrowserDownloadUrl, BrowserPublisher
#include "support/signed_file.h"     // SignatureAccepted

namespace korvana {

// Set by the completion dialog when the user cancels; the download checks it between
// network reads and file writes and gives up at once.
using StopRequest = std::atomic<bool>;

// The process's once-flag of the TLS patch; a worker given up on may still read it
// after the dialog that started it is gone, so it lives as long as the process.
bool& SchannelPatchOnceFlag();

// Loads the SCHANNEL patch library named in the registry and calls its entry, at
// most once per process: `schannelPatchDone` is set on the first call, whatever
// follows. A full path is loaded as it stands; any other name from below System32.
void ApplySchannelPatch(Platform& platform, bool& schannelPatchDone);

// GETs `url` and streams the body into a new file in the folder `folder` (a full
// path), named by the response's Content-Disposition header; a file of that name
// already there is refused. `created` becomes the file's full path as soon as the file
// exists, whatever follows, so that the caller can delete it. True once the whole body
// is in the file and the file is closed; false on any failure (no header, a name that
// is not a plain file name, a failed create or write, a stop request). Applies the
// SCHANNEL patch first.
bool DownloadBrowserInstaller(Platform& platform, const std::wstring& url, const std::wstring& folder,
                              const StopRequest& stop, bool& schannelPatchDone,
                              std::wstring& created);

}  // namespace korvana
