#include "app/bootstrapper.h"

#include "app/command_line_options.h"
#include "app/os_gate.h"
#include "install/csp_installer.h"
#include "install/plugin_installer.h"
#include "packages/package_locator.h"
#include "platform/win_constants.h"
#include "resources/text_ids.h"
#include "resources/version.h"
#include "support/child_process.h"
#include "run/exit_codes.h"
#include "run/setup_options.h"
#include "support/log_event.h"
#include "support/log_folder.h"
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

// One run at a time on the whole machine, whichever session or account starts it.
constexpr wchar_t kRunMutex[] = L"Global\\KorvanaSetupRun";
// Owned by Administrators, open to administrators and SYSTEM alone; the owners a lock
// made by a run can have.
constexpr wchar_t kRunMutexSecurity[] = L"O:BAD:(A;;GA;;;BA)(A;;GA;;;SY)";
constexpr wchar_t kAdministratorsSid[] = L"S-1-5-32-544";
constexpr wchar_t kSystemSid[] = L"S-1-5-18";

// The code of a run whose installation succeeded, by what became of the restart.
// Deployment systems read a restart from Windows Installer's own codes, which
// -restartcodes asks for (and a run nobody watches gets unasked): 1641 when this run
// started it, 3010 when one is due and was not made, whatever kept it back. Without
// them the run ends as it always has: 7 after the notice that a restart due was not
// made, else 0.
Status CompletedCode(bool restartCodes, bool restartDue, bool restartStarted, bool noticeShown) {
  if (restartCodes) {
    if (restartStarted) return exit_code::kRestartStarted;
    return restartDue ? exit_code::kRestartDue : exit_code::kSuccess;
  }
  return noticeShown ? exit_code::kRestartFailed : exit_code::kSuccess;
}

class Run {
 public:
  explicit Run(Platform& platform) : platform_(platform), locator_(platform) {}

  Status Execute(const std::wstring& commandLineTail) {
    LogEvent(platform_, {L"korvana-setup " KORVANA_VERSION_WIDE L", arguments: ", commandLineTail});
    const LocalTime start = platform_.clock.Now();
    // Before any window: boxes and dialogs need the manifest's common controls.
    if (const Status controls = platform_.ui.InitCommonControls())
      LogEvent(platform_, {L"common controls: error ", ToDecimal(controls)});
    LearnSession();
    platform_.ui.CreateOwnerWindow();
    const CommandLineRequest request = commandLineTail.empty()
                                           ? CommandLineRequest::Run
                                           : ParseCommandLine(platform_, options_);
    boxes_ = Boxes(platform_, options_.NoBoxes(),
                   options_.cspMode ? text::kCspCaption : text::kPluginCaption);
    if (const Status refused = OpenLogs(start)) return refused;
    switch (request) {
      case CommandLineRequest::Run:
        break;
      case CommandLineRequest::Unreadable:
        // Nobody can read the help where nobody can see it; the deployment system
        // gets what msiexec gives for a command line it cannot read.
        if (options_.unattended) return exit_code::kInvalidCommandLine;
        [[fallthrough]];
      case CommandLineRequest::Help:
        ShowHelp(platform_, options_);
        return exit_code::kHelpShown;
    }
    LogOptions();

    if (!platform_.system.IsUserAnAdmin()) {
      LogEvent(platform_, {L"not an administrator"});
      Show(text::kNotAdministrator, kErrorBox);
      return exit_code::kNotAdministrator;
    }
    if (Status refused = CheckOperatingSystem(platform_, boxes_)) return refused;
    if (const StepOutcome busy = TakeRunLock(); busy.ended) return Finish(busy);
    LogSystem();

    // Windows Installer must not show its own interface for this process's calls.
    platform_.msi.SetInternalUI(win::INSTALLUILEVEL_NONE);

    if (!options_.cspMode) {
      if (Show(text::kInstallQuestion, kQuestionBox) == win::IDNO) return exit_code::kInstallDeclined;
    } else {
      if (options_.selectDlg && !options_.NoBoxes() &&
          ShowConfigurationDialog(platform_, options_) == ConfigurationResult::Cancelled)
        return exit_code::kConfigurationCancelled;
      if (const StepOutcome csp = InstallCsp(platform_, options_, boxes_); csp.ended) return Finish(csp);
    }

    RunScript();

    if (const StepOutcome plugin = InstallPlugin(platform_, locator_, options_, boxes_); plugin.ended)
      return Finish(plugin);
    return Complete();
  }

 private:
  // Services, scheduled tasks and deployment agents running as SYSTEM get a window
  // station without visible surfaces, where every window is unseen and a message box
  // never returns. Where the question has no answer, the desktop counts as visible,
  // as it did before the question was asked.
  void LearnSession() {
    const std::optional<bool> visible = platform_.ui.IsWindowStationVisible();
    options_.unattended = visible.has_value() && !*visible;
  }

  // The own log goes where the installers' logs go: the -logdir folder, made when
  // missing, or TMP. A -logdir that cannot be made or written, or a TMP that is not a
  // full path without quotes, ends the run before anything is done; lines written so
  // far wait for the file, so a log in -logdir holds the run from its first line.
  Status OpenLogs(const LocalTime& start) {
    const std::wstring stamp = FormatTimeStamp(start);
    std::wstring folder;
    std::wstring path;
    Status logDirFailed = 0;
    if (!options_.logDir.empty()) {
      logDirFailed = FullLogFolder(platform_, options_.logDir, folder);
      if (logDirFailed == 0) logDirFailed = CreateFolderTree(platform_, folder);
      if (logDirFailed == 0) logDirFailed = CreateOwnLog(platform_, folder, stamp, path);
    }
    // TMP's log, unless -logdir's folder took it; without TMP, or where it cannot be
    // written, there is none and the run goes on as ever, unless -logdir's folder
    // failed, which that log then tells.
    Read<std::wstring> tmp;
    if (options_.logDir.empty() || logDirFailed != 0) {
      tmp = platform_.environment.GetVariable(L"TMP");
      if (!tmp.ok || !IsUsableLogFolder(tmp.value) ||
          CreateOwnLog(platform_, tmp.value, stamp, path) != 0)
        platform_.log.Abandon();
    }
    if (options_.unattended)
      LogEvent(platform_, {L"no visible desktop"});
    if (logDirFailed != 0) {
      LogEvent(platform_, {L"log folder ", options_.logDir, L": error ", ToDecimal(logDirFailed)});
      return logDirFailed;
    }
    if (!options_.logDir.empty()) {
      options_.logDir = folder;
      LogEvent(platform_, {L"log folder: ", folder});
    } else if (tmp.ok && !IsUsableLogFolder(tmp.value)) {
      LogEvent(platform_, {L"TMP refused: ", tmp.value});
      Show(text::kEnvironmentUnreadable, kErrorBox, text::kErrorCaption);
      return exit_code::kBadLogFolder;
    }
    return 0;
  }

  // What the run understood of its command line.
  void LogOptions() {
    const SetupOptions& o = options_;
    std::wstring flags;
    const std::pair<bool, const wchar_t*> named[] = {
        {o.cspMode, L" csp"},         {o.selectDlg, L" selectDlg"}, {o.silent, L" silent"},
        {o.reinstall, L" reinstall"}, {o.noRestart, L" norestart"}, {o.disableRm, L" disablerm"},
        {o.skipInstallValidate, L" skipinstallvalidate"}, {o.restartCodes, L" restartcodes"}};
    for (const auto& flag : named)
      if (flag.first) flags += flag.second;
    LogEvent(platform_, {L"options:", flags, L"; SivetArgs: ", o.sivetArgs, L"; vbscript: ",
                         o.vbscriptArgs, L"; CSPArgs: ", o.cspArgs, L"; KC: ", o.kcLevel,
                         L"; Lang: ", o.lang});
  }

  void LogSystem() {
    const NtVersion windows = platform_.system.GetNtVersion();
    // An arm64 machine installs the x64 package; its arm64 patterns serve only the
    // version read.
    const wchar_t* const architecture = locator_.ArchitectureWord();
    LogEvent(platform_, {L"Windows NT ", ToDecimal(windows.major), L".", ToDecimal(windows.minor),
                         L", UI language ", ToDecimal(platform_.system.GetUserDefaultUILanguage()),
                         L", package architecture ", architecture,
                         locator_.Arm64Pattern().empty() ? L"" : L" (arm64 machine)"});
  }

  // A second run at the same time (a double click, a deployment's retry, another
  // session) would reset the installed product's source list and its cached hash
  // under the first one's installer, whose msiexec then ends with 1618 anyway. So the
  // second ends at once, before touching anything, with that very code. A run that
  // died leaves the lock abandoned, which counts as free. Where the lock cannot be
  // made at all, the run goes on without it, as it always has.
  //
  // Any account may make a global mutex of that name first and hold it, which would
  // end every run with 1618 for ever. A run makes it owned by Administrators, which
  // only an administrator or SYSTEM can, and open to those two alone. So one found
  // with any other owner than Administrators or SYSTEM, or that cannot be opened, was
  // not made by a run and is ignored. A token that cannot set that owner makes no lock
  // (ERROR_INVALID_OWNER) and the run goes on without one: made with the token's
  // default owner instead, it would count for no other run.
  StepOutcome TakeRunLock() {
    static constexpr wchar_t kLock[] = L"run lock: ";
    Status error = 0;
    std::wstring owner;
    const MutexClaim claim =
        platform_.processes.ClaimMutex(kRunMutex, kRunMutexSecurity, &owner, &error);
    if (claim == MutexClaim::Failed) {
      LogEvent(platform_, {kLock, L"error ", ToDecimal(error)});
      return StepOutcome::GoOn();
    }
    if (claim != MutexClaim::Created && owner != kAdministratorsSid && owner != kSystemSid) {
      LogEvent(platform_, {kLock, L"owned by ", owner, L", ignored"});
      return StepOutcome::GoOn();
    }
    if (claim == MutexClaim::OwnedAbandoned) LogEvent(platform_, {kLock, L"abandoned, taken"});
    if (claim != MutexClaim::HeldElsewhere) return StepOutcome::GoOn();
    LogEvent(platform_, {L"another run is in progress"});
    return StepOutcome::Failed(exit_code::kAlreadyRunning, text::kPluginFailed);
  }

  // The end of a step that stopped the run: its failure box, then its code.
  Status Finish(const StepOutcome& outcome) {
    boxes_.ShowFailure(outcome);
    return outcome.code;
  }

  int Show(std::uint16_t textId, std::uint32_t style, std::uint16_t captionId = 0) {
    return boxes_.ShowText(textId, {style, captionId});
  }

  // "-vbscript": the script host runs the given text and is waited for; what it
  // returns means nothing to the run. Where nobody can see, it runs in batch mode, so
  // a script's error or prompt shows no box that would wait.
  void RunScript() {
    if (options_.vbscriptArgs.empty()) return;
    const Read<std::wstring> windows = platform_.files.GetWindowsDirectory();
    if (!windows.ok) return;
    const std::wstring host = windows.value + L"\\System32\\wscript.exe";
    RunChild(platform_,
             L"\"" + host + L"\" " + (options_.unattended ? L"//B " : L"") + options_.vbscriptArgs,
             host);
  }

  // The end of a successful run: the restart that is due, made or offered, and the
  // code that tells what became of it. A silent run restarts by itself; an
  // interactive one asks in the completion dialog; a run nobody watches restarts
  // nothing, and leaves the restart to the deployment system its code tells.
  Status Complete() {
    const bool restartDue = TakeRestartMarker(platform_);
    const bool offered = restartDue && !options_.noRestart;
    const bool keptBack = offered && options_.unattended && !options_.silent;
    LogEvent(platform_, {restartDue ? L"restart needed" : L"no restart needed",
                         !offered && restartDue ? L", not made (-norestart)"
                         : keptBack             ? L", not made (unattended)"
                                                : L""});

    bool wanted = false;
    if (!options_.NoBoxes())
      wanted = ShowCompletionDialog(platform_, options_.cspMode, offered) == CompletionChoice::Restart;
    else
      wanted = offered && options_.silent;
    bool started = false;
    if (wanted) {
      started = RestartComputer(platform_.system, platform_.power);
      LogRestart(platform_, started);
    }
    // The user who asked for a restart that was due learns that Windows refused it.
    const bool notice = !options_.NoBoxes() && offered && wanted && !started;
    if (notice) Show(text::kRestartFailed, kNoticeBox);
    return CompletedCode(options_.restartCodes || (options_.unattended && !options_.silent),
                         restartDue, started, notice);
  }

  Platform& platform_;
  PackageLocator locator_;
  SetupOptions options_;
  Boxes boxes_{platform_};  // made again once the command line is read, with its caption
};

}  // namespace

Status RunBootstrapper(Platform& platform, const std::wstring& commandLineTail) {
  const Status code = Run(platform).Execute(commandLineTail);
  LogEvent(platform, {L"exit code ", ToDecimal(code)});
  return code;
}

}  // namespace korvana
