#include "install/csp_installer.h"

#include "install/command_lines.h"
#include "platform/win_constants.h"
#include "resources/text_ids.h"
#include "support/child_process.h"
#include "support/log_event.h"
#include "support/log_folder.h"
#include "support/paths.h"
#include "support/signed_file.h"

namespace korvana {
namespace {

constexpr wchar_t kComponent[] = L"csp";

// Where the CSP's setup program may be: beside the executable, then in the current
// directory; each a full path, so neither the system folders nor PATH (where the user
// of an elevated prompt may have a folder of their own) can bring another program in.
// The setup program found first, or, with none found, whether either place has a
// "csp" folder at all.
struct CspSetup {
  std::wstring program;
  bool folderFound = false;
};

CspSetup FindCspSetup(Platform& platform) {
  const Read<std::wstring> current = platform.files.GetCurrentDirectory();
  CspSetup found;
  for (int place = 0; place < 2; ++place) {
    std::wstring folder = place == 0 ? FolderOf(platform.files.ModulePath()) : current.value;
    if (folder.empty() || (place == 1 && !current.ok)) continue;
    if (folder.back() != L'\\') folder += L'\\';
    folder.append(kComponent);
    found.program = folder + L"\\Setup.exe";
    if (platform.files.Exists(found.program)) return found;
    if (platform.files.Exists(folder)) found.folderFound = true;
  }
  found.program.clear();
  return found;
}

// What the CSP's setup program reports when it went well, or when the user stopped
// it: the plug-in still follows.
bool IsCspSuccess(Status result) {
  return result == 0 || result == 3 || result == 4 || result == win::ERROR_INSTALL_USEREXIT;
}

}  // namespace

StepOutcome InstallCsp(Platform& platform, const SetupOptions& options, const Boxes& boxes,
                       const wchar_t* publisher) {
  const CspSetup setup = FindCspSetup(platform);
  // The program started is the file checked: held until it has ended.
  FileHandle held(platform.files);
  Status refused = win::ERROR_FILE_NOT_FOUND;
  if (setup.program.empty()) {
    // Without a "csp" folder there is no CSP to install and the plug-in goes on alone;
    // a "csp" folder without its setup program is a broken medium.
    LogEvent(platform, {setup.folderFound ? L"csp: no Setup.exe"
                                          : L"csp: no csp folder"});
    if (!setup.folderFound) return StepOutcome::GoOn();
  } else {
    refused = HoldSignedFile(platform, setup.program, publisher, held);
  }
  if (refused != 0) return StepOutcome::Failed(refused, text::kCspFailed);
  CspSetupLine line;
  line.setupProgram = setup.program;
  line.kcLevel = options.kcLevel;
  line.lang = options.lang;
  line.uiLevel = DefaultUiLevel(options.unattended);
  line.userText = options.cspArgs;
  // The setup program shows boxes of its own unless told it runs silent; where nobody
  // can see them, they would wait for ever.
  line.silent = boxes.KeptBack();
  line.reinstall = options.reinstall;
  if (!HasLogSwitch(line.userText)) {
    if (const Status failed = BuildLogPath(platform, options, boxes, kComponent, line.log))
      return StepOutcome::End(failed);
  }

  const Status result = RunChild(platform, ComposeCspSetupLine(line), setup.program);
  if (IsCspSuccess(result)) return StepOutcome::GoOn();
  return StepOutcome::Failed(result, text::kCspFailed, line.log);
}

}  // namespace korvana
