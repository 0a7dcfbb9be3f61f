#include "install/installer_command.h"

#include "install/command_lines.h"
#include "platform/win_constants.h"
#include "resources/text_ids.h"
#include "support/child_process.h"
#include "support/log_event.h"
#include "support/message_box.h"
#include "support/paths.h"
#include "support/log_folder.h"
#include "support/restart.h"
#include "support/signed_file.h"
#include "support/text.h"

namespace korvana {
namespace {

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

Status ShowError(const Boxes& boxes, std::uint16_t textId, Status status) {
  boxes.ShowText(textId, kErrorLook);
  return status;
}

}  // namespace

void DeleteSourceHash(Platform& platform, const std::wstring& productCode) {
  if (!IsUsableInFileName(productCode)) return;
  const Read<std::wstring> windowsDirectory = platform.files.GetWindowsDirectory();
  if (!windowsDirectory.ok) return;
  // A missing file is the usual case and not an error.
  platform.files.DeleteFile(windowsDirectory.value + L"\\Installer\\SourceHash" + productCode);
}

Status RunPluginInstaller(Platform& platform, PackageLocator& locator, const SetupOptions& options,
                          const Boxes& boxes, std::wstring& logPath,
                          const std::wstring& installedProductCode,
                          const std::wstring& packagePattern, const PluginArguments& arguments,
                          const wchar_t* publisher) {
  // One pattern, no fallback: the installer runs only a package named for this
  // architecture.
  MsiexecLine line;
  const Status found = locator.FindPackage(packagePattern, line.package);
  if (found != 0) return ShowError(boxes, text::kPackageNotFound, found);
  const std::wstring packageFileName = FileNameOf(line.package);
  // The package msiexec gets is the file checked: held until msiexec has ended.
  FileHandle held(platform.files);
  if (const Status refused = HoldSignedFile(platform, line.package, publisher, held)) return refused;

  // A log option of the user's own wins; then TMP is not even read.
  if (!HasLogSwitch(arguments.userText)) {
    if (const Status failed = BuildLogPath(platform, options, boxes, packageFileName, logPath)) return failed;
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
    return ShowError(boxes, text::kSystemDirectoryUnreadable, error);
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
