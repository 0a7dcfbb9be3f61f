#include "ui/dialogs.h"

#include "platform/win_constants.h"

namespace korvana {

Status ShowConfigurationDialog(Platform&, SetupOptions&) { return win::ERROR_CALL_NOT_IMPLEMENTED; }

}  // namespace korvana
