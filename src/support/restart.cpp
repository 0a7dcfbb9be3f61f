#include "support/restart.h"

#include "platform/win_constants.h"
#include "support/log_event.h"

namespace korvana {
namespace {

// Read and created through the 32-bit view, which is where a 32-bit program's
// HKEY_CURRENT_USER\Software keys live; deleted through its parent.
constexpr wchar_t kMarkerParent[] = L"Software";
constexpr wchar_t kMarkerName[] = L"NeedBstrReboot";
constexpr std::uint32_t kReadAccess = win::KEY_READ | win::KEY_WOW64_32KEY;                // 0x20219
constexpr std::uint32_t kWriteAccess = win::KEY_READ | win::KEY_WRITE | win::KEY_WOW64_32KEY;  // 0x2021f

std::wstring MarkerKey() { return std::wstring(kMarkerParent) + L"\\" + kMarkerName; }

}  // namespace

void CreateRestartMarker(Platform& platform) {
  LogEvent(platform, {L"restart asked for"});
  RegistryKey marker(platform.registry);
  // Its status is not looked at: a marker that cannot be written costs only the restart.
  static_cast<void>(platform.registry.CreateKey(RegistryRoot::CurrentUser, MarkerKey(),
                                                kWriteAccess, marker.put()));
}

bool TakeRestartMarker(Platform& platform) {
  bool found = false;
  {
    RegistryKey marker(platform.registry);
    found = platform.registry.OpenKey(RegistryRoot::CurrentUser, MarkerKey(), kReadAccess,
                                      marker.put()) == 0;
  }
  // Deleted whether or not it counted; a missing marker is the normal case.
  RegistryKey software(platform.registry);
  if (platform.registry.OpenKey(RegistryRoot::CurrentUser, kMarkerParent, kWriteAccess,
                                software.put()) != 0)
    return found;
  static_cast<void>(platform.registry.DeleteSubKey(software.get(), kMarkerName));
  return found;
}

bool RestartComputer(SystemProbes& system, PowerControl& power) {
  // AdjustTokenPrivileges reports a privilege the user lacks (ERROR_NOT_ALL_ASSIGNED)
  // with a successful return, so the last error decides.
  std::optional<Status> adjusted = power.EnableShutdownPrivilege();
  if (!adjusted || *adjusted != 0) return false;

  // EWX_RESTARTAPPS exists from Vista on; earlier systems reject unknown flags.
  std::uint32_t flags = win::EWX_REBOOT;
  if (system.GetNtVersion().major >= 6) flags |= win::EWX_RESTARTAPPS;
  return power.ExitWindows(flags, win::SHTDN_REASON_MAJOR_APPLICATION);
}

void LogRestart(Platform& platform, bool accepted) {
  LogEvent(platform, {accepted ? L"restart: requested" : L"restart: refused by Windows"});
}

}  // namespace korvana
