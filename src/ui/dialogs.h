// The two modal dialogs of a run.
#pragma once

#include "options/setup_options.h"
#include "platform/platform.h"

namespace korvana {

// CSP-mode configuration (dialog 141), modal, owned by the owner window: appends the
// chosen KC level and language to `options`, or ends the process with 0 on Cancel.
// 0 once it has closed; the status of a dialog that could not be shown, which leaves
// `options` as they were.
Status ShowConfigurationDialog(Platform& platform, SetupOptions& options);

// Completion (dialog 40110), modal, no owner: reads and may write `rebootRequested`.
// 0 once it has closed; the status of a dialog that could not be shown, which
// leaves `rebootRequested` as it was.
Status ShowCompletionDialog(Platform& platform, const SetupOptions& options, bool& rebootRequested);

}  // namespace korvana
