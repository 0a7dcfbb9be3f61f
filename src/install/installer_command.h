// The msiexec command line with its time-stamped verbose log, and the run of it.
#pragma once

#include <cstdint>
#include <string>

#include "options/setup_options.h"
#include "packages/package_locator.h"
#include "platform/platform.h"

namespace korvana {

// Locates the package by `packagePattern`, names the log in TMP, composes and runs
// the msiexec command line, and turns a restart request (1641, 3010, 3011) into 0
// plus the restart marker. Reads disableRm and skipInstallValidate from `options`.
Status RunPluginInstaller(Platform& platform, PackageLocator& locator, const SetupOptions& options,
                          bool silent, std::wstring& logPath, std::wstring installedProductCode,
                          std::wstring packagePattern, std::wstring installerArguments);

// Deletes <Windows>\Installer\SourceHash<productCode>; the outcome is not looked at.
void DeleteSourceHash(Platform& platform, const std::wstring& productCode);

// Local time as "%Y-%m-%d-%H-%M-%S", also written as one line to standard output.
std::wstring MakeTimeStamp(Platform& platform);

// Names an installer log: TMP, a backslash, `prefix`, "_", the time stamp and ".log".
// When TMP cannot be read: text::kEnvironmentUnreadable (unless `silent`) and the
// read's error, with `logPath` left as it was.
Status BuildLogPath(Platform& platform, const std::wstring& prefix, bool silent,
                    std::wstring& logPath);

// The failure box of an installer that ran (not in a silent run): text `textId`,
// ": <code>." and a line feed, then "Install log: <path>" when that log exists.
void ShowInstallFailure(Platform& platform, bool silent, std::uint16_t textId, Status result,
                        const std::wstring& logPath, std::uint16_t captionId);

// Whether installer arguments carry a log switch of the user's own: "/l" or "/L"
// anywhere, as a plain case-sensitive substring.
inline bool HasLogSwitch(const std::wstring& arguments) {
  return arguments.find(L"/l") != std::wstring::npos || arguments.find(L"/L") != std::wstring::npos;
}

// The restart-needed marker under HKEY_CURRENT_USER.
inline constexpr wchar_t kRestartMarkerKey[] = L"Software\\NeedBstrReboot";

}  // namespace korvana
