// The two modal dialogs of a run.
#pragma once

#include "options/setup_options.h"
#include "platform/platform.h"
#include "platform/win_constants.h"

namespace korvana {

// What ShowDialog's result tells a caller: 0 once the dialog has closed, or a status
// saying it could not be shown (DialogBoxParamW's -1).
inline Status DialogShownStatus(std::intptr_t result) {
  return result == -1 ? win::ERROR_RESOURCE_TYPE_NOT_FOUND : 0;
}

// CSP-mode configuration (kConfigurationDialogId), modal, owned by the owner window:
// appends the chosen KC level and language to `options` and says Chosen, or says
// Cancelled and leaves them. A dialog that could not be shown counts as Chosen with
// `options` as they were: the run goes on with the command line's choice.
enum class ConfigurationResult { Chosen, Cancelled };
ConfigurationResult ShowConfigurationDialog(Platform& platform, SetupOptions& options);

// Completion (kCompletionDialogId), modal, no owner: reads and may write
// `rebootRequested`. 0 once it has closed; the status of a dialog that could not be
// shown, which leaves `rebootRequested` as it was.
Status ShowCompletionDialog(Platform& platform, const SetupOptions& options, bool& rebootRequested);

}  // namespace korvana
