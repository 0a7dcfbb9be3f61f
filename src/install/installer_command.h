// The msiexec command line with its time-stamped verbose log, and the run of it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "run/setup_options.h"
#include "install/command_lines.h"
#include "packages/package_locator.h"
#include "platform/platform.h"

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
// skipInstallValidate from `options`; its boxes are kept back when `options.NoBoxes()`.
// With a `publisher` pinned, the package found must carry that publisher's signature
// and is held from its check until msiexec has ended (HoldSignedFile); a package
// refused is not installed, and the check's result is returned, with no box of its own.
Status RunPluginInstaller(Platform& platform, PackageLocator& locator, const SetupOptions& options,
                          std::wstring& logPath, const std::wstring& installedProductCode,
                          const std::wstring& packagePattern, const PluginArguments& arguments,
                          const wchar_t* publisher);

// Deletes <Windows>\Installer\SourceHash<productCode>; the outcome is not looked at.
void DeleteSourceHash(Platform& platform, const std::wstring& productCode);

// Local time as "%Y-%m-%d-%H-%M-%S", also written as one line to standard output.
std::wstring MakeAndPrintTimeStamp(Platform& platform);

// Names an installer log: the log folder (-logdir's, else TMP), a backslash, `prefix`,
// "_", the time stamp and ".log". When TMP cannot be read: text::kEnvironmentUnreadable
// (unless `options.NoBoxes()`) and the read's error; a TMP that is not a full path or
// holds a double quote: ERROR_BAD_PATHNAME. `logPath` is left as it was on failure.
Status BuildLogPath(Platform& platform, const SetupOptions& options, const std::wstring& prefix,
                    std::wstring& logPath);

}  // namespace korvana
