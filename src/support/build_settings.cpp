// The build's settings. Alone in this file, so that a build can link the same program
// with other settings by compiling just this file again.
#include "support/build_settings.h"

#ifndef KORVANA_DOWNLOAD_HOST
#error "KORVANA_DOWNLOAD_HOST is a build setting (CMake cache variable of the same name)"
#endif
#ifndef KORVANA_BROWSER_PUBLISHER
#error "KORVANA_BROWSER_PUBLISHER is a build setting (CMake cache variable of the same name)"
#endif
#ifndef KORVANA_PACKAGE_PUBLISHER
#error "KORVANA_PACKAGE_PUBLISHER is a build setting (CMake cache variable of the same name)"
#endif

namespace korvana {

std::wstring BrowserDownloadUrl() {
  return std::wstring(L"https://") + KORVANA_DOWNLOAD_HOST + L"/download/yandex-browser";
}

std::wstring BrowserPublisher() { return KORVANA_BROWSER_PUBLISHER; }

const wchar_t* PackagePublisher() { return KORVANA_PACKAGE_PUBLISHER; }

}  // namespace korvana
