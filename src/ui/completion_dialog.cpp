#include "ui/completion_dialog.h"

#include <iterator>
#include <utility>

#include "platform/win_constants.h"
#include "resources/dialog_ids.h"
#include "resources/text_ids.h"
#include "support/log_event.h"
#include "support/text.h"
#include "ui/dialogs.h"

namespace korvana {
namespace {

constexpr wchar_t kBrowserService[] = L"YandexBrowserService";
constexpr wchar_t kBrowserSessionKey[] = L"SOFTWARE\\Yandex\\YandexBrowser\\Session";
// How long Cancel lets a running worker finish before giving up on it.
constexpr std::uint32_t kCancelWaitMs = 100;

// The browser box's label for each step, by the number of steps already shown, and
// for a failure, by the number of the step that failed.
constexpr std::uint16_t kStepCaptions[] = {text::kBrowserDownloading, text::kBrowserVerifying,
                                           text::kBrowserInstalling, text::kBrowserInstalled};
constexpr std::uint16_t kFailureCaptions[] = {0, text::kBrowserDownloadFailed,
                                              text::kBrowserVerifyFailed,
                                              text::kBrowserInstallFailed};

}  // namespace

CompletionDialog::CompletionDialog(Platform& platform, bool cspMode, bool restartDue,
                                   bool& schannelPatchDone, std::wstring downloadUrl)
    : platform_(platform),
      cspMode_(cspMode),
      restartDue_(restartDue),
      schannelPatchDone_(schannelPatchDone),
      downloadUrl_(std::move(downloadUrl)),
      browserWorker_(platform.threads) {}

// Every way out of the dialog collects its worker; this is for a dialog torn down
// any other way.
CompletionDialog::~CompletionDialog() {
  if (worker_) worker_->RequestStop();
  ReleaseWorker();
}

bool CompletionDialog::OnInitDialog(DialogControls& controls) {
  std::uint16_t message;
  if (restartDue_) {
    controls.Check(kRestartBox, true);
    message = cspMode_ ? text::kInstalledCspNeedsRestart : text::kInstalledNeedsRestart;
  } else {
    message = cspMode_ ? text::kInstalledCsp : text::kInstalled;
  }
  // Offered only where the browser is missing; the user may still choose either way.
  const bool browserInstalled = BrowserInstalled();
  if (!browserInstalled) controls.Check(kBrowserBox, true);
  LogEvent(platform_, {L"completion dialog: text ", ToDecimal(message),
                       browserInstalled ? L", browser found" : L", browser offered"});
  controls.SetText(kCompletionMessage, platform_.texts.LoadText(message));
  controls.SetIcon(kIconId);
  controls.BringToFront();
  return true;
}

// Its service, or else the current user's session key, means the browser is there.
bool CompletionDialog::BrowserInstalled() {
  {
    ServiceHandle manager(platform_.services,
                          platform_.services.OpenManager(win::SC_MANAGER_ENUMERATE_SERVICE));
    if (manager) {
      ServiceHandle service(platform_.services,
                            platform_.services.OpenService(manager.get(), kBrowserService,
                                                           win::SERVICE_QUERY_STATUS));
      if (service) return true;
    }
  }
  RegistryKey session(platform_.registry);
  return platform_.registry.OpenKey(RegistryRoot::CurrentUser, kBrowserSessionKey, win::KEY_READ,
                                    session.put()) == 0;
}

bool CompletionDialog::OnMessage(DialogControls& controls, std::uint32_t message,
                                 std::uintptr_t wParam, std::intptr_t) {
  // Once closed, nothing a late worker posted acts on the dialog.
  if (closed_) return message == win::WM_COMMAND || message == WM_BROWSER_STEP ||
                      message == WM_BROWSER_FAILED;
  switch (message) {
    case win::WM_COMMAND:
      switch (CommandId(wParam)) {
        case win::IDOK: return OnOk(controls);
        case win::IDCANCEL: return OnCancel(controls);
        default: return false;
      }
    case WM_BROWSER_STEP:
      OnStep(controls);
      return true;
    case WM_BROWSER_FAILED:
      OnFailed(controls);
      return true;
    default:
      return false;
  }
}

bool CompletionDialog::OnOk(DialogControls& controls) {
  if (browserWorker_) {
    // A worker that posted its last message ends at once; waiting is safe because it
    // never waits for this thread.
    platform_.threads.WaitThread(browserWorker_.get(), Threads::kInfinite);
    ReleaseWorker();
  }
  if (controls.IsEnabled(kBrowserBox) && controls.IsChecked(kBrowserBox)) {
    LogEvent(platform_, {L"OK: browser"});
    browserStep_ = 0;
    // Not make_shared: without RTTI its type test sits in the library beside the
    // shared_ptr lock pool, whose unwind tables bring the exception runtime along.
    worker_.reset(new BrowserInstallWorker(platform_, controls.Window(), downloadUrl_,
                                           schannelPatchDone_));
    *browserWorker_.put() = platform_.threads.StartThread(worker_);
    if (!browserWorker_) {
      worker_.reset();
      Close(controls);
      return false;
    }
    controls.Enable(kBrowserBox, false);
    controls.Enable(win::IDOK, false);
    return true;
  }
  const bool restart = controls.IsChecked(kRestartBox);
  LogEvent(platform_, {restart ? L"OK: restart" : L"OK: no restart"});
  choice_ = restart ? CompletionChoice::Restart : CompletionChoice::NoRestart;
  Close(controls);
  return true;
}

bool CompletionDialog::OnCancel(DialogControls& controls) {
  LogEvent(platform_, {L"cancelled"});
  if (browserWorker_) {
    // Asked to stop first, so a worker between two reads ends within the wait; one
    // blocked in the network is given up on. It holds its own share of what it
    // works on and posts nothing more, so it can neither touch freed memory nor this
    // dialog; it ends with the process. Terminating it instead could leave a lock
    // held (heap, loader, WinINet) that the way out still needs.
    worker_->RequestStop();
    platform_.threads.WaitThread(browserWorker_.get(), kCancelWaitMs);
    ReleaseWorker();
  }
  Close(controls);
  return true;
}

void CompletionDialog::OnStep(DialogControls& controls) {
  if (browserStep_ >= std::size(kStepCaptions)) return;
  controls.SetText(kBrowserBox, platform_.texts.LoadText(kStepCaptions[browserStep_]));
  ++browserStep_;
}

void CompletionDialog::OnFailed(DialogControls& controls) {
  if (browserStep_ >= 1 && browserStep_ < std::size(kFailureCaptions))
    controls.SetText(kBrowserBox, platform_.texts.LoadText(kFailureCaptions[browserStep_]));
  controls.Enable(kBrowserBox, true);
  controls.Enable(win::IDOK, true);
}

void CompletionDialog::Close(DialogControls& controls) {
  closed_ = true;
  controls.End(0);
}

void CompletionDialog::ReleaseWorker() {
  browserWorker_.reset();
  worker_.reset();
}

CompletionChoice ShowCompletionDialog(Platform& platform, bool cspMode, bool restartDue) {
  CompletionDialog dialog(platform, cspMode, restartDue, SchannelPatchOnceFlag(), BrowserDownloadUrl());
  // A dialog that cannot be shown was not answered, as if the user had closed it.
  if (platform.ui.ShowDialog(kCompletionDialogId, Owner::None, dialog) == -1)
    return CompletionChoice::Unanswered;
  return dialog.choice();
}

}  // namespace korvana
