#include "install/csp_installer.h"

#include "install/command_lines.h"
#include "install/installer_command.h"
#include "platform/win_constants.h"
#include "resources/text_ids.h"
#include "support/child_process.h"

namespace korvana {
namespace {

constexpr wchar_t kComponent[] = L"csp";

// What the CSP's setup program reports when it went well, or when the user stopped
// it: the plug-in still follows.
bool IsCspSuccess(Status result) {
  return result == 0 || result == 3 || result == 4 || result == win::ERROR_INSTALL_USEREXIT;
}

}  // namespace

StepOutcome InstallCsp(Platform& platform, const SetupOptions& options) {
  CspSetupLine line;
  line.setupProgram = std::wstring(kComponent) + L"\\Setup.exe";
  line.kcLevel = options.kcLevel;
  line.lang = options.lang;
  line.uiLevel = DefaultUiLevel(options.unattended);
  line.userText = options.cspArgs;
  // The setup program shows boxes of its own unless told it runs silent; where nobody
  // can see them, they would wait for ever.
  line.silent = options.NoBoxes();
  line.reinstall = options.reinstall;
  if (!HasLogSwitch(line.userText)) {
    if (const Status failed = BuildLogPath(platform, options, kComponent, line.log))
      return StepOutcome::End(failed);
  }

  Status result = RunChild(platform, ComposeCspSetupLine(line));
  // Without a "csp" folder there is no CSP to install and the plug-in goes on alone:
  // Windows reports that start as ERROR_PATH_NOT_FOUND (3), a success code here. Some
  // systems (Wine among them) say ERROR_FILE_NOT_FOUND instead, the very code of a
  // folder that lacks Setup.exe; the folder itself tells the two apart.
  if (result == win::ERROR_FILE_NOT_FOUND && !platform.files.Exists(kComponent))
    result = win::ERROR_PATH_NOT_FOUND;
  if (IsCspSuccess(result)) return StepOutcome::GoOn();
  return StepOutcome::Failed(result, text::kCspFailed, line.log);
}

}  // namespace korvana
