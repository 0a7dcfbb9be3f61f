// The plug-in's msiexec run: its package found and checked, its log named, its line
// composed, and a restart it asks for noted.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "run/setup_options.h"
#include "install/command_lines.h"
#include "packages/package_locator.h"
#include "platform/platform.h"
#include "support/message_box.h"

namespace korvana {

// What the installation decision hands to msiexec: its properties, each with its
// leading blank, in the order they go on the line, and the user's own text.
struct PluginArguments {
  InstallerProperties properties;
  std::wstring userText;
};

// Locates the package by `packagePattern`, names the log, composes and runs the
// msiexec command line, and turns a restart request (1641, 3010, 3011) into 0 plus the
// restart marker. Reads the interface level, the log folder, disableRm and
// skipInstallValidate from `options`; its error boxes go through `boxes`.
// With a `publisher` pinned, the package found must carry that publisher's signature
// and is held from its check until msiexec has ended (HoldSignedFile); a package
// refused is not installed, and the check's result is returned, with no box of its own.
Status RunPluginInstaller(Platform& platform, PackageLocator& locator, const SetupOptions& options,
                          const Boxes& boxes, std::wstring& logPath,
                          const std::wstring& installedProductCode,
                          const std::wstring& packagePattern, const PluginArguments& arguments,
                          const wchar_t* publisher);

// Deletes <Windows>\Installer\SourceHash<productCode>; the outcome is not looked at.
void DeleteSourceHash(Platform& platform, const std::wstring& productCode);

}  // namespace korvana
