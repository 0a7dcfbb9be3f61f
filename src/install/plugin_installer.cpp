#include "install/plugin_installer.h"

#include "platform/win_constants.h"

namespace korvana {

// Placeholder until the plug-in installation lands.
Status InstallPlugin(Platform&, PackageLocator&, const SetupOptions&, bool, bool, std::wstring,
                     std::wstring&) {
  return win::ERROR_CALL_NOT_IMPLEMENTED;
}

}  // namespace korvana
