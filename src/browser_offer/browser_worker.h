// The browser offer's second thread: download, signature check, silent install,
// each step announced to the completion dialog by a posted message.
#pragma once

#include <cstdint>
#include <string>

#include "browser_offer/browser_download.h"
#include "browser_offer/download_folder.h"
#include "platform/platform.h"
#include "platform/win_constants.h"

namespace korvana {

// Posted with wParam 0 and lParam 0. A step message announces the next step (or the
// end of the last one); a failure message says the step last announced failed.
inline constexpr std::uint32_t WM_BROWSER_STEP = win::WM_USER + 25;    // 0x0419
inline constexpr std::uint32_t WM_BROWSER_FAILED = win::WM_USER + 26;  // 0x041A

inline constexpr wchar_t kBrowserInstallerOptions[] =
    L" --program-files-installation --silent --do-not-launch-browser";

class BrowserInstallWorker final : public ThreadBody {
 public:
  // `schannelPatchDone` must outlive the thread: it is the process's once-flag.
  // `publisher`: the signer the installer must carry; empty for any trusted one.
  BrowserInstallWorker(Platform& platform, WindowToken dialog, std::wstring url,
                       bool& schannelPatchDone, std::wstring publisher = BrowserPublisher());

  // 0 after the installer ran and reported success, 1 after any failure or a stop.
  // Downloads into a DownloadFolder of its own, removed again before the last
  // message is posted, whatever came of the attempt.
  std::uint32_t Run() override;

  // Asked by the dialog when the user cancels: the download gives up at its next
  // read or write, no later step runs and nothing more is posted.
  void RequestStop() { stop_ = true; }

 private:
  void Post(std::uint32_t message, std::uintptr_t wParam = 0);
  std::uint32_t Fail();
  // Download, check and installation in `folder`: true when the installer reported
  // success. Every handle on the file is closed on return.
  bool Install(DownloadFolder& folder);

  Platform& platform_;
  WindowToken dialog_;
  std::wstring url_;
  bool& schannelPatchDone_;
  std::wstring publisher_;
  StopRequest stop_{false};
};

}  // namespace korvana
