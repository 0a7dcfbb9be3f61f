#include "platform/win32/services.h"

#include "platform/win32/unique_handle.h"
#include "platform/win32/windows_api.h"

namespace korvana::win32 {

ServiceToken Win32Services::OpenManager(std::uint32_t access) {
  // The local machine's active database.
  return ToToken<ServiceToken>(::OpenSCManagerW(nullptr, nullptr, access));
}

ServiceToken Win32Services::OpenService(ServiceToken manager, const std::wstring& name,
                                        std::uint32_t access) {
  return ToToken<ServiceToken>(
      ::OpenServiceW(FromToken<SC_HANDLE>(manager), name.c_str(), access));
}

void Win32Services::CloseService(ServiceToken handle) {
  ::CloseServiceHandle(FromToken<SC_HANDLE>(handle));
}

}  // namespace korvana::win32
