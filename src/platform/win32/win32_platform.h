// The Win32 side of the seam, assembled: one object per concern, bundled into the
// Platform that the logic runs against.
#pragma once

#include "platform/platform.h"
#include "platform/win32/clock.h"
#include "platform/win32/command_line.h"
#include "platform/win32/file_system.h"
#include "platform/win32/libraries.h"
#include "platform/win32/network.h"
#include "platform/win32/power_control.h"
#include "platform/win32/processes.h"
#include "platform/win32/registry.h"
#include "platform/win32/run_log.h"
#include "platform/win32/services.h"
#include "platform/win32/string_table.h"
#include "platform/win32/system_probes.h"
#include "platform/win32/threads.h"
#include "platform/win32/trust.h"
#include "platform/win32/user_interface.h"
#include "platform/win32/windows_installer.h"

namespace korvana::win32 {

class Win32Platform {
 public:
  // `instance`: the executable's module; it owns the windows and carries the texts.
  explicit Win32Platform(HINSTANCE instance);
  Win32Platform(const Win32Platform&) = delete;
  Win32Platform& operator=(const Win32Platform&) = delete;

  Platform& platform() { return platform_; }

 private:
  Win32UserInterface ui_;
  Win32MessageCatalog texts_;
  Win32SystemProbes system_;
  Win32CommandLine commandLine_;
  Win32FileSystem files_;
  Win32Environment environment_;
  Win32Registry registry_;
  Win32WindowsInstaller msi_;
  Win32Processes processes_;
  Win32PowerControl power_;
  Win32Clock clock_;
  Win32StandardOutput output_;
  Win32Services services_;
  Win32Threads threads_;
  Win32Network network_;
  Win32Trust trust_;
  Win32Libraries libraries_;
  Win32Log log_;
  Platform platform_;
};

}  // namespace korvana::win32
