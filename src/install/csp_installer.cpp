#include "install/csp_installer.h"

#include "install/installer_command.h"
#include "platform/win_constants.h"
#include "resources/text_ids.h"
#include "support/child_process.h"
#include "support/text.h"

namespace korvana {
namespace {

constexpr wchar_t kSetupAndFixedOptions[] =
    L"\\Setup.exe -root -restartkorvctrl -disablerm -skipinstallvalidate ";

// What the CSP's setup program reports when it went well, or when the user stopped
// it: the plug-in still follows.
bool IsCspSuccess(Status result) {
  return result == 0 || result == 3 || result == 4 || result == win::ERROR_INSTALL_USEREXIT;
}

}  // namespace

Status InstallCsp(Platform& platform, const SetupOptions& options, bool silent, bool reinstall,
                  std::wstring component, std::wstring cspArgs, std::uint16_t captionId) {
  std::wstring commandLine = component + kSetupAndFixedOptions;
  if (!options.kcLevel.empty()) commandLine += L"-kc " + options.kcLevel + L" ";
  if (!options.lang.empty()) commandLine += L"-lang " + options.lang + L" ";

  std::wstring arguments = std::move(cspArgs);
  std::wstring logPath;
  if (!HasLogSwitch(arguments)) {
    if (const Status failed = BuildLogPath(platform, component, silent, logPath)) return failed;
    // Three quotes on each side: the setup program hands the text on inside a quoted
    // argument of its own, and its installer then sees one quoted path.
    arguments.insert(0, L"/Lv \"\"\"" + logPath + L"\"\"\" ");
  }
  if (!Contains(arguments, L"/q")) arguments.insert(0, L"/qb ");
  commandLine += L"-args \"" + arguments + L"\"";

  commandLine += L" -noreboot";
  if (silent) commandLine += L" -silent";
  if (reinstall) commandLine += L" -reinstall";

  Status result = RunChild(platform, commandLine);
  // Without a "csp" folder there is no CSP to install and the plug-in goes on alone:
  // Windows reports that start as ERROR_PATH_NOT_FOUND (3), a success code here. Some
  // systems (Wine among them) say ERROR_FILE_NOT_FOUND instead, the very code of a
  // folder that lacks Setup.exe; the folder itself tells the two apart.
  if (result == win::ERROR_FILE_NOT_FOUND && !platform.files.Exists(component))
    result = win::ERROR_PATH_NOT_FOUND;
  if (IsCspSuccess(result)) return 0;

  ShowInstallFailure(platform, silent, text::kCspFailed, result, logPath, captionId);
  return result;
}

}  // namespace korvana
