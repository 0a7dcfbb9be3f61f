#include "platform/win32/services.h"

#include "platform/win32/windows_api.h"

namespace korvana::win32 {
namespace {

SC_HANDLE FromToken(ServiceToken handle) { return reinterpret_cast<SC_HANDLE>(handle); }

ServiceToken ToToken(SC_HANDLE handle) { return reinterpret_cast<ServiceToken>(handle); }

}  // namespace

ServiceToken Win32Services::OpenManager(std::uint32_t access) {
  // The local machine's active database.
  return ToToken(::OpenSCManagerW(nullptr, nullptr, access));
}

ServiceToken Win32Services::OpenService(ServiceToken manager, const std::wstring& name,
                                        std::uint32_t access) {
  return ToToken(::OpenServiceW(FromToken(manager), name.c_str(), access));
}

void Win32Services::CloseService(ServiceToken handle) { ::CloseServiceHandle(FromToken(handle)); }

}  // namespace korvana::win32
