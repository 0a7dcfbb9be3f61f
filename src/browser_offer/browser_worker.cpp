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
  LogEvent(platform_, {L"download: ", url_});
  std::wstring name = DownloadBrowserInstaller(platform_, url_, stop_, schannelPatchDone_);
  LogEvent(platform_, {L"saved as: ", name});
  if (name.empty()) return Fail();

  Post(WM_BROWSER_STEP);  // signature check
  if (stop_) return 1;
  // The installer is checked and then started by one full path, so the file that
  // runs is the file that was checked: a bare name would be looked for beside the
  // executable first, where anyone may have left a file of that name.
  TextRead folder = platform_.files.GetCurrentDirectory();
  if (!folder.ok || folder.value.empty()) return Fail();
  std::wstring path = folder.value;
  if (path.back() != L'\\') path += L'\\';
  path += name;
  // Held from before the check until the installer has ended, with read sharing only:
  // the check and the start read the file, and nobody can write, rename or delete it
  // in between. The user who owns the folder could otherwise put another program in
  // its place after the check, and it would run with this program's rights.
  FileHandle held(platform_.files,
                  platform_.files.CreateFile(path, win::GENERIC_READ, win::FILE_SHARE_READ,
                                             win::OPEN_EXISTING, win::FILE_ATTRIBUTE_NORMAL));
  if (!held) {
    LogEvent(platform_, {L"cannot hold ", path});
    return Fail();
  }
  const TrustVerdict trust = platform_.trust.VerifyFile(path);
  LogEvent(platform_, {L"signature of ", path, L": ", ToHex(static_cast<std::uint32_t>(trust.result)),
                       L", signer: ", trust.signer});
  if (!SignatureAccepted(trust, publisher_)) return Fail();

  Post(WM_BROWSER_STEP);  // installation
  if (stop_) return 1;
  // Quoted, so that a name with a blank is not cut into a program and its arguments.
  Status installed = RunChild(platform_, L"\"" + path + L"\"" + kBrowserInstallerOptions);
  held.Close();
  if (installed != 0) return Fail();

  Post(WM_BROWSER_STEP);  // done
  Post(win::WM_COMMAND, static_cast<std::uintptr_t>(win::IDOK));
  return 0;
}

}  // namespace korvana
