// The build's settings (CMake cache variables of the same names): where the browser is
// downloaded from, and whose signatures the programs the run starts must carry.
#pragma once

#include <string>

namespace korvana {

// https://<KORVANA_DOWNLOAD_HOST>/download/yandex-browser.
std::wstring BrowserDownloadUrl();

// KORVANA_BROWSER_PUBLISHER: the publisher the downloaded browser installer must be
// signed by (its signer's simple display name); empty when any publisher Windows
// trusts will do.
std::wstring BrowserPublisher();

// KORVANA_PACKAGE_PUBLISHER: the publisher the plug-in's package and the CSP's setup
// program must be signed by; empty when they are started unchecked. The build's own
// text, handed down to the check as it stands.
const wchar_t* PackagePublisher();

}  // namespace korvana
