#include "install/csp_installer.h"

#include "platform/win_constants.h"

namespace korvana {

Status InstallCsp(Platform&, const SetupOptions&, bool, bool, std::wstring, std::wstring) {
  return win::ERROR_CALL_NOT_IMPLEMENTED;
}

}  // namespace korvana
