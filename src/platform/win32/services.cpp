#include "platform/win32/services.h"

#include "platform/win32/unique_handle.h"
#include "platform/win32/windows_api.h"

namespace korvana::win32 {
namespace {

SC_HANDLE Service(ServiceToken handle) { return FromToken<SC_HANDLE>(handle); }

ServiceToken Token(SC_HANDLE handle) { return ToToken<ServiceToken>(handle); }

}  // namespace

ServiceToken Win32Services::OpenManager(std::uint32_t access) {
  // The local machine's active database.
  return Token(::OpenSCManagerW(nullptr, nullptr, access));
}

ServiceToken Win32Services::OpenService(ServiceToken manager, const std::wstring& name,
                                        std::uint32_t access) {
  return Token(::OpenServiceW(Service(manager), name.c_str(), access));
}

void Win32Services::CloseService(ServiceToken handle) { ::CloseServiceHandle(Service(handle)); }

}  // namespace korvana::win32
