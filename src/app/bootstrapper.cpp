#include "app/bootstrapper.h"

#include "app/command_line_options.h"
#include "app/exit_codes.h"
#include "app/os_gate.h"
#include "install/csp_installer.h"
#include "install/installer_command.h"
#include "install/plugin_installer.h"
#include "options/setup_options.h"
#include "packages/package_locator.h"
#include "platform/win_constants.h"
#include "resources/text_ids.h"
#include "resources/version.h"
#include "support/child_process.h"
#include "support/log_event.h"
#include "support/message_box.h"
#include "support/restart.h"
#include "support/text.h"
#include "ui/dialogs.h"

// The version as a wide literal, for the log's first line.
#define KORVANA_WIDEN2(text) L##text
#define KORVANA_WIDEN(text) KORVANA_WIDEN2(text)
#define KORVANA_VERSION_WIDE KORVANA_WIDEN(KORVANA_VERSION_TEXT)

namespace korvana {
namespace {

// The restart-needed marker: read with a 32-bit view, its parent opened to delete it.
constexpr std::uint32_t kMarkerReadAccess = win::KEY_READ | win::KEY_WOW64_32KEY;  // 0x20219
constexpr std::uint32_t kMarkerParentAccess =
    win::KEY_READ | win::KEY_WRITE | win::KEY_WOW64_32KEY;  // 0x2021f
constexpr wchar_t kMarkerParent[] = L"Software";
constexpr wchar_t kMarkerName[] = L"NeedBstrReboot";
// One run at a time on the whole machine, whichever session or account starts it.
constexpr wchar_t kRunMutex[] = L"Global\\KorvanaSetupRun";

class Run {
 public:
  explicit Run(Platform& platform) : platform_(platform), locator_(platform) {}

  std::uint32_t Execute(const std::wstring& commandLineTail) {
    LogEvent(platform_, {L"korvana-setup " KORVANA_VERSION_WIDE L", arguments: ", commandLineTail});
    // Before any window: boxes and dialogs need the manifest's common controls.
    if (const Status controls = platform_.ui.InitCommonControls())
      LogEvent(platform_, {L"common controls: error ", ToDecimal(controls)});
    platform_.ui.CreateOwnerWindow();
    if (!commandLineTail.empty() &&
        ParseCommandLine(platform_, options_) == CommandLineRequest::HelpShown)
      return exit_code::kHelpShown;
    LogOptions();
    caption_ = options_.cspMode ? text::kCspCaption : text::kPluginCaption;

    if (!platform_.system.IsUserAnAdmin()) {
      LogEvent(platform_, {L"not an administrator"});
      Show(text::kNotAdministrator, kErrorBox);
      return exit_code::kNotAdministrator;
    }
    if (std::uint32_t refused = CheckOperatingSystem(platform_, options_.silent)) return refused;
    if (const Status busy = TakeRunLock()) return busy;
    const NtVersion windows = platform_.system.GetNtVersion();
    // The pattern is "*x64*" or "*win32*": the log names the word. An arm64 machine
    // installs the x64 package; its arm64 patterns serve only the version read.
    std::wstring architecture = locator_.ArchitecturePattern();
    architecture.pop_back();
    LogEvent(platform_, {L"Windows NT ", ToDecimal(windows.major), L".", ToDecimal(windows.minor),
                         L", UI language ", ToDecimal(platform_.system.GetUserDefaultUILanguage()),
                         L", package architecture ", architecture.c_str() + 1,
                         locator_.Arm64Pattern().empty() ? L"" : L" (arm64 machine)"});

    // Windows Installer must not show its own interface for this process's calls.
    platform_.msi.SetInternalUI(win::INSTALLUILEVEL_NONE);

    if (!options_.cspMode) {
      if (Show(text::kInstallQuestion, kQuestionBox) == win::IDNO) return exit_code::kInstallDeclined;
    } else {
      if (options_.selectDlg && !options_.silent &&
          ShowConfigurationDialog(platform_, options_) == ConfigurationResult::Cancelled)
        return exit_code::kConfigurationCancelled;
      // The CSP's failure box carries the run's caption, as the plug-in's does.
      Status csp = InstallCsp(platform_, options_, options_.silent, options_.reinstall, L"csp",
                              options_.cspArgs, caption_);
      if (csp != 0) return csp;
    }

    RunScript();

    std::wstring logPath;
    const PluginResult result = InstallPlugin(platform_, locator_, options_, options_.silent,
                                              options_.reinstall, options_.sivetArgs, logPath);
    if (result.failed)
      ShowInstallFailure(platform_, options_.silent, text::kPluginFailed, result.status, logPath,
                         caption_);
    if (result.status != 0) return result.status;
    return Complete();
  }

 private:
  // What the run understood of its command line.
  void LogOptions() {
    const SetupOptions& o = options_;
    std::wstring flags;
    const std::pair<bool, const wchar_t*> named[] = {
        {o.cspMode, L" csp"},         {o.selectDlg, L" selectDlg"}, {o.silent, L" silent"},
        {o.reinstall, L" reinstall"}, {o.noRestart, L" norestart"}, {o.disableRm, L" disablerm"},
        {o.skipInstallValidate, L" skipinstallvalidate"}};
    for (const auto& flag : named)
      if (flag.first) flags += flag.second;
    LogEvent(platform_, {L"options:", flags, L"; SivetArgs: ", o.sivetArgs, L"; vbscript: ",
                         o.vbscriptArgs, L"; CSPArgs: ", o.cspArgs, L"; KC: ", o.kcLevel,
                         L"; Lang: ", o.lang});
  }

  // A second run at the same time (a double click, a deployment's retry, another
  // session) would reset the installed product's source list and its cached hash
  // under the first one's installer, whose msiexec then ends with 1618 anyway. So the
  // second ends at once, before touching anything, with that very code. A run that
  // died leaves the lock abandoned, which counts as free. Where the lock cannot be
  // made at all, the run goes on without it, as it always has.
  Status TakeRunLock() {
    Status error = 0;
    switch (platform_.processes.ClaimMutex(kRunMutex, &error)) {
      case MutexClaim::Owned:
        return 0;
      case MutexClaim::OwnedAbandoned:
        LogEvent(platform_, {L"run lock: abandoned, taken"});
        return 0;
      case MutexClaim::Failed:
        LogEvent(platform_, {L"run lock: error ", ToDecimal(error)});
        return 0;
      case MutexClaim::HeldElsewhere:
        break;
    }
    LogEvent(platform_, {L"another run is in progress"});
    ShowInstallFailure(platform_, options_.silent, text::kPluginFailed, exit_code::kAlreadyRunning,
                       L"", caption_);
    return exit_code::kAlreadyRunning;
  }

  int Show(std::uint16_t textId, std::uint32_t style) {
    return ShowTextBox(platform_, options_.silent, Owner::OwnerWindow, textId, caption_, style);
  }

  // "-vbscript": the script host runs the given text and is waited for; what it
  // returns means nothing to the run.
  void RunScript() {
    if (options_.vbscriptArgs.empty()) return;
    std::optional<std::wstring> windows = platform_.files.GetWindowsDirectory();
    if (!windows) return;
    RunChild(platform_, *windows + L"\\System32\\wscript.exe " + options_.vbscriptArgs);
  }

  // Reads and deletes the restart marker, then ends the run: a silent run restarts
  // by itself when the marker asks for it; an interactive one shows the completion
  // dialog.
  std::uint32_t Complete() {
    bool markerFound = false;
    {
      RegistryKey marker(platform_.registry);
      markerFound = platform_.registry.OpenKey(RegistryRoot::CurrentUser, kRestartMarkerKey,
                                               kMarkerReadAccess, marker.Receive()) == 0;
    }
    DeleteRestartMarker();
    if (markerFound && options_.noRestart) {
      // The run goes on as if no restart had been asked for, and its exit code is 0:
      // the log is all that tells the administrator the machine still needs one.
      LogEvent(platform_, {L"restart needed, not made (-norestart)"});
      markerFound = false;
    } else {
      LogEvent(platform_, {markerFound ? L"restart needed" : L"no restart needed"});
    }
    if (markerFound) rebootRequested_ = true;

    if (options_.silent) {
      if (rebootRequested_) {
        rebootRequested_ = RestartComputer(platform_.system, platform_.power);
        LogRestart(platform_, rebootRequested_);
      }
      return exit_code::kSuccess;
    }
    // A dialog that cannot be shown changes nothing: the installation succeeded and
    // the restart question stays unanswered, as if the user had closed it.
    ShowCompletionDialog(platform_, options_, rebootRequested_);
    if (markerFound && !rebootRequested_) {
      Show(text::kRestartFailed, kNoticeBox);
      return exit_code::kRestartFailed;
    }
    return exit_code::kSuccess;
  }

  // Deleted whether or not it counted; a missing marker is the normal case.
  void DeleteRestartMarker() {
    RegistryKey software(platform_.registry);
    if (platform_.registry.OpenKey(RegistryRoot::CurrentUser, kMarkerParent, kMarkerParentAccess,
                                   software.Receive()) != 0)
      return;
    DeleteKeyRoute route = platform_.system.IsModuleLoaded(kLocalRegistryApiSet)
                               ? DeleteKeyRoute::LocalRegistryApiSet
                               : DeleteKeyRoute::Advapi32;
    platform_.registry.DeleteSubKey(software.get(), kMarkerName, route);
  }

  Platform& platform_;
  PackageLocator locator_;  // owns the process's cached IsWow64Process entry
  SetupOptions options_;
  bool rebootRequested_ = false;
  std::uint16_t caption_ = text::kPluginCaption;
};

}  // namespace

std::uint32_t RunBootstrapper(Platform& platform, const std::wstring& commandLineTail) {
  const std::uint32_t code = Run(platform).Execute(commandLineTail);
  LogEvent(platform, {L"exit code ", ToDecimal(code)});
  return code;
}

}  // namespace korvana
