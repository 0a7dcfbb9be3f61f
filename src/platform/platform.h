// The seam between the bootstrapper's logic and the machine: every interface, and the
// bundle the logic runs against.
//
// Everything above these headers is plain C++ that builds on Linux as well as with
// MinGW: it never sees <windows.h>, a HANDLE or an HWND. Each interface is small, named
// for one concern and has a header of its own (platform/<concern>.h), its Win32
// implementation beside it in platform/win32/. The Win32 side holds the mechanics of a
// call (buffers, exports, caches) and no product decision: every decision, order, text
// and number a user or administrator can observe lives above.
#pragma once

#include "platform/clock.h"
#include "platform/command_line.h"
#include "platform/file_system.h"
#include "platform/libraries.h"
#include "platform/network.h"
#include "platform/power_control.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/run_log.h"
#include "platform/services.h"
#include "platform/string_table.h"
#include "platform/system_probes.h"
#include "platform/threads.h"
#include "platform/tokens.h"
#include "platform/trust.h"
#include "platform/user_interface.h"
#include "platform/windows_installer.h"

namespace korvana {

// Everything the logic may ask of the machine, in one bundle of references.
struct Platform {
  UserInterface& ui;
  MessageCatalog& texts;
  SystemProbes& system;
  CommandLine& commandLine;
  FileSystem& files;
  Environment& environment;
  Registry& registry;
  WindowsInstaller& msi;
  Processes& processes;
  PowerControl& power;
  Clock& clock;
  StandardOutput& output;
  Services& services;
  Threads& threads;
  Network& network;
  Trust& trust;
  Libraries& libraries;
  Log& log;
};

}  // namespace korvana
