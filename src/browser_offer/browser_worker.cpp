#include "browser_offer/browser_worker.h"

#include <utility>

#include "support/child_process.h"
#include "support/log_event.h"
#include "support/text.h"

namespace korvana {

BrowserInstallWorker::BrowserInstallWorker(Platform& platform, WindowToken dialog, std::wstring url,
                                           bool& schannelPatchDone, std::wstring publisher)
    : platform_(platform),
      dialog_(dialog),
      url_(std::move(url)),
      schannelPatchDone_(schannelPatchDone),
      publisher_(std::move(publisher)) {}

// A worker that was told to stop posts nothing more: its dialog is closing or gone.
void BrowserInstallWorker::Post(std::uint32_t message, std::uintptr_t wParam) {
  if (!stop_) platform_.ui.PostMessage(dialog_, message, wParam, 0);
}

std::uint32_t BrowserInstallWorker::Fail() {
  Post(WM_BROWSER_FAILED);
  return 1;
}

std::uint32_t BrowserInstallWorker::Run() {
  Post(WM_BROWSER_STEP);  // download
  bool installed = false;
  {
    DownloadFolder folder(platform_);
    installed = folder.Create() && Install(folder);
  }  // the installer and its folder deleted here, after success and every failure alike
  if (!installed) return Fail();

  Post(WM_BROWSER_STEP);  // done
  Post(win::WM_COMMAND, static_cast<std::uintptr_t>(win::IDOK));
  return 0;
}

bool BrowserInstallWorker::Install(DownloadFolder& folder) {
  LogEvent(platform_, {L"download: ", url_});
  const bool downloaded = DownloadBrowserInstaller(platform_, url_, folder.path(), stop_,
                                                   schannelPatchDone_, folder.file);
  LogEvent(platform_, {L"saved as: ", downloaded ? folder.file : std::wstring()});
  if (!downloaded) return false;

  Post(WM_BROWSER_STEP);  // signature check
  if (stop_) return false;
  // The installer is checked and then started by one full path, so the file that
  // runs is the file that was checked: a bare name would be looked for beside the
  // executable first, where anyone may have left a file of that name.
  const std::wstring& path = folder.file;
  // Held from before the check until the installer has ended, with read sharing only:
  // the check and the start read the file, and nobody, not even another
  // administrator's process, can write, rename or delete it in between.
  FileHandle held(platform_.files,
                  platform_.files.CreateFile(path, win::GENERIC_READ, win::FILE_SHARE_READ,
                                             win::OPEN_EXISTING, win::FILE_ATTRIBUTE_NORMAL));
  if (!held) {
    LogEvent(platform_, {L"cannot hold ", path});
    return false;
  }
  const TrustVerdict trust = platform_.trust.VerifyFile(path);
  LogEvent(platform_, {L"signature of ", path, L": ", ToHex(static_cast<std::uint32_t>(trust.result)),
                       L", signer: ", trust.signer});
  if (!SignatureAccepted(trust, publisher_.c_str())) return false;

  Post(WM_BROWSER_STEP);  // installation
  if (stop_) return false;
  // Quoted, so that a name with a blank is not cut into a program and its arguments.
  const Status installed = RunChild(platform_, L"\"" + path + L"\"" + kBrowserInstallerOptions);
  return installed == 0;
}

}  // namespace korvana
