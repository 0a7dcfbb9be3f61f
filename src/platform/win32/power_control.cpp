#include "platform/win32/power_control.h"

#include "platform/win32/unique_handle.h"

namespace korvana::win32 {

std::optional<Status> Win32PowerControl::EnableShutdownPrivilege() {
  UniqueKernelHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                          token.put()))
    return std::nullopt;

  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  // A failed look-up leaves the identifier zero; the adjust then reports the failure.
  ::LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid);
  ::AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
  // Read at once: a successful return may still carry ERROR_NOT_ALL_ASSIGNED.
  return static_cast<Status>(::GetLastError());
}

bool Win32PowerControl::ExitWindows(std::uint32_t flags, std::uint32_t reason) {
  return ::ExitWindowsEx(flags, reason) != FALSE;
}

}  // namespace korvana::win32
