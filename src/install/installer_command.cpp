#include "install/installer_command.h"

#include "install/command_lines.h"
#include "platform/win_constants.h"
#include "resources/text_ids.h"
#include "support/child_process.h"
#include "support/log_event.h"
#include "support/message_box.h"
#include "support/log_folder.h"
#include "support/restart.h"
#include "support/signed_file.h"
#include "support/text.h"

namespace korvana {
namespace {

// The characters after the last backslash, extension included; the whole path when
// it has none.
std::wstring FileNameOf(const std::wstring& path) {
  const auto cut = path.rfind(L'\\');
  return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

// A product code is joined straight onto a file name in the Installer folder. A
// code comes from a package's own tables, so one that is empty (no product) or that
// holds a path separator or a drive colon names no source-hash file of a product and
// could point the elevated delete outside that folder: such a code deletes nothing.
bool IsUsableInFileName(const std::wstring& productCode) {
  return !productCode.empty() && productCode.find_first_of(L"\\/:") == std::wstring::npos;
}

bool IsNt(const NtVersion& version, std::uint32_t major, std::uint32_t minor) {
  return version.major == major && version.minor == minor;
}

bool IsRestartRequest(Status result) {
  return result == win::ERROR_SUCCESS_REBOOT_INITIATED ||
         result == win::ERROR_SUCCESS_REBOOT_REQUIRED ||
         result == win::ERROR_SUCCESS_RESTART_REQUIRED;
}

Status ShowError(Platform& platform, bool silent, std::uint16_t textId, Status status) {
  ShowTextBox(platform, silent, Owner::OwnerWindow, textId, text::kErrorCaption, kErrorBox);
  return status;
}

}  // namespace

std::wstring MakeAndPrintTimeStamp(Platform& platform) {
  const std::wstring stamp = FormatTimeStamp(platform.clock.Now());
  // Seen only when whoever started us redirected standard output; a lost line is fine.
  platform.output.WriteLine(stamp);
  return stamp;
}

Status BuildLogPath(Platform& platform, const SetupOptions& options, const std::wstring& prefix,
                    std::wstring& logPath) {
  std::wstring folder = options.logDir;
  if (folder.empty()) {
    const Read<std::wstring> tmp = platform.environment.GetVariable(L"TMP");
    if (!tmp.ok) {
      // An unset TMP reports ERROR_ENVVAR_NOT_FOUND. A TMP that is set but empty also
      // reads as nothing, yet sets no error code of its own; it is the same trouble for
      // us (no folder to put the log in), so it gets the same code rather than a 0 that
      // the caller would take for success.
      const Status error = tmp.status != 0 ? tmp.status : win::ERROR_ENVVAR_NOT_FOUND;
      LogEvent(platform, {L"TMP: error ", ToDecimal(error)});
      return ShowError(platform, options.NoBoxes(), text::kEnvironmentUnreadable, error);
    }
    // The run has refused such a TMP at its start, with its box; here it only must
    // never reach a command line.
    if (!IsUsableLogFolder(tmp.value)) return win::ERROR_BAD_PATHNAME;
    folder = tmp.value;
  }
  // The backslash goes in even when the folder already ends with one; Windows reads the
  // doubled separator as one.
  logPath = folder;
  logPath.append(L"\\").append(prefix).append(L"_").append(MakeAndPrintTimeStamp(platform)).append(L".log");
  return 0;
}

void DeleteSourceHash(Platform& platform, const std::wstring& productCode) {
  if (!IsUsableInFileName(productCode)) return;
  const Read<std::wstring> windowsDirectory = platform.files.GetWindowsDirectory();
  if (!windowsDirectory.ok) return;
  // A missing file is the usual case and not an error.
  platform.files.DeleteFile(windowsDirectory.value + L"\\Installer\\SourceHash" + productCode);
}

Status RunPluginInstaller(Platform& platform, PackageLocator& locator, const SetupOptions& options,
                          std::wstring& logPath, const std::wstring& installedProductCode,
                          const std::wstring& packagePattern, const PluginArguments& arguments,
                          const wchar_t* publisher) {
  const bool silent = options.NoBoxes();
  // One pattern, no fallback: the installer runs only a package named for this
  // architecture.
  MsiexecLine line;
  const Status found = locator.FindPackage(packagePattern, line.package);
  if (found != 0) return ShowError(platform, silent, text::kPackageNotFound, found);
  const std::wstring packageFileName = FileNameOf(line.package);
  // The package msiexec gets is the file checked: held until msiexec has ended.
  FileHandle held(platform.files);
  if (const Status refused = HoldSignedFile(platform, line.package, publisher, held)) return refused;

  // A log option of the user's own wins; then TMP is not even read.
  if (!HasLogSwitch(arguments.userText)) {
    if (const Status failed = BuildLogPath(platform, options, packageFileName, logPath)) return failed;
    line.log = logPath;
  }

  const Read<std::wstring> systemDirectory = platform.files.GetSystemDirectory();
  if (!systemDirectory.ok) {
    // Without the system directory msiexec.exe cannot be found. Should the call fail
    // without an error code, report exactly that (ERROR_FILE_NOT_FOUND) rather than 0,
    // which would read as success; 2 also stays clear of the exit codes the run
    // gives a meaning of their own.
    const Status error =
        systemDirectory.status != 0 ? systemDirectory.status : win::ERROR_FILE_NOT_FOUND;
    LogEvent(platform, {L"system folder: error ", ToDecimal(error)});
    return ShowError(platform, silent, text::kSystemDirectoryUnreadable, error);
  }
  line.systemDirectory = systemDirectory.value;
  line.uiLevel = DefaultUiLevel(options.unattended);
  line.properties = arguments.properties;
  line.userText = arguments.userText;
  line.disableRm = options.disableRm;
  line.skipInstallValidate = options.skipInstallValidate;

  // Point the installed product's source list at the new package's name, so that a
  // repair or an update does not go looking for the package it was first installed
  // from. With no product installed both calls fail; that is expected and harmless.
  static_cast<void>(platform.msi.SourceListClearAll(installedProductCode));
  static_cast<void>(platform.msi.SourceListSetInfo(
      installedProductCode, win::MSIINSTALLCONTEXT_MACHINE, win::MSICODE_PRODUCT, L"PackageName",
      packageFileName));

  // Windows XP and Server 2003 check a new source against the installed product's
  // cached source hash; drop that hash there so that the new package is accepted.
  // Later versions keep no such file for us to remove.
  if (IsNt(platform.system.GetNtVersion(), 5, 2) || IsNt(platform.system.GetNtVersion(), 5, 1))
    DeleteSourceHash(platform, installedProductCode);

  const Status result = RunChild(platform, ComposeMsiexecLine(line));
  if (!IsRestartRequest(result)) return result;
  // The installation succeeded; the restart it needs is the end of the run's business.
  CreateRestartMarker(platform);
  return win::ERROR_SUCCESS;
}

}  // namespace korvana
