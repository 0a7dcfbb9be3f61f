// The last window of a successful interactive run: what was installed, whether to
// restart, and the offer to install the browser, whose worker reports its steps on
// the browser box's label.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "browser_offer/browser_worker.h"
#include "platform/platform.h"
#include "ui/dialogs.h"

namespace korvana {

class CompletionDialog final : public DialogLogic {
 public:
  // `restartDue`: whether the installation needs a restart (the restart box starts
  // ticked). `schannelPatchDone` is the process's once-flag of the TLS patch.
  CompletionDialog(Platform& platform, bool cspMode, bool restartDue, bool& schannelPatchDone,
                   std::wstring downloadUrl);
  ~CompletionDialog() override;

  // What the user chose: set by OK, Unanswered after Cancel, Esc or the close box.
  CompletionChoice choice() const { return choice_; }

  bool OnInitDialog(DialogControls& controls) override;
  bool OnMessage(DialogControls& controls, std::uint32_t message, std::uintptr_t wParam,
                 std::intptr_t lParam) override;

 private:
  bool BrowserInstalled();
  bool OnOk(DialogControls& controls);
  bool OnCancel(DialogControls& controls);
  void OnStep(DialogControls& controls);
  void OnFailed(DialogControls& controls);
  void Close(DialogControls& controls);
  void ReleaseWorker();

  Platform& platform_;
  bool cspMode_;
  bool restartDue_;
  CompletionChoice choice_ = CompletionChoice::Unanswered;
  bool& schannelPatchDone_;
  std::wstring downloadUrl_;
  std::shared_ptr<BrowserInstallWorker> worker_;
  ThreadHandle browserWorker_;
  unsigned browserStep_ = 0;
  bool closed_ = false;
};

}  // namespace korvana
