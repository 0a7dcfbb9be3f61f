// The last window of a successful interactive run: what was installed, whether to
// restart, and the offer to install the browser, whose worker reports its steps on
// the browser box's label.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "browser_offer/browser_worker.h"
#include "platform/platform.h"

namespace korvana {

class CompletionDialog final : public DialogLogic {
 public:
  // `rebootRequested`: on entry, whether the installation needs a restart; on the
  // way out through OK with the restart box checked, whether Windows accepted the
  // restart. `schannelPatchDone` is the process's once-flag of the TLS patch.
  CompletionDialog(Platform& platform, bool cspMode, bool& rebootRequested,
                   bool& schannelPatchDone, std::wstring downloadUrl);
  ~CompletionDialog() override;

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
  bool& rebootRequested_;
  bool& schannelPatchDone_;
  std::wstring downloadUrl_;
  std::shared_ptr<BrowserInstallWorker> worker_;
  ThreadHandle browserWorker_;
  unsigned browserStep_ = 0;
  bool closed_ = false;
};

}  // namespace korvana
