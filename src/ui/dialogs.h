// The two modal dialogs of a run.
#pragma once

#include "platform/platform.h"
#include "platform/win_constants.h"
#include "resources/dialog_ids.h"
#include "run/setup_options.h"

namespace korvana {

// The control or menu id a WM_COMMAND carries in its wParam's low word.
inline int CommandId(std::uintptr_t wParam) { return static_cast<int>(wParam & 0xFFFF); }

// CSP-mode configuration (kConfigurationDialogId), modal, owned by the owner window:
// appends the chosen KC level and language to `options` and says Chosen, or says
// Cancelled and leaves them. A dialog that could not be shown counts as Chosen with
// `options` as they were: the run goes on with the command line's choice.
enum class ConfigurationResult { Chosen, Cancelled };
ConfigurationResult ShowConfigurationDialog(Platform& platform, SetupOptions& options);

// Completion (kCompletionDialogId), modal, no owner: what was installed, the restart
// box (ticked when `restartDue`) and the browser offer. The user's choice about the
// restart; the restart itself is the caller's.
enum class CompletionChoice { Unanswered, NoRestart, Restart };
CompletionChoice ShowCompletionDialog(Platform& platform, bool cspMode, bool restartDue);

}  // namespace korvana
