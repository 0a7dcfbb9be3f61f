// Every code a run can end with, for administrators' scripts and deployment systems,
// with who produces it; and the outcome a step hands back to the run. Constants and
// one small record only, so every room may name the code it ends a run with.
#pragma once

#include <cstdint>
#include <string>

namespace korvana {

// A Win32 or Windows Installer status code, 0 for success.
using Status = std::uint32_t;

namespace exit_code {

// The run's own codes.
inline constexpr Status kSuccess = 0;
inline constexpr Status kHelpShown = 0;
inline constexpr Status kInstallDeclined = 0;          // No to the first question
inline constexpr Status kConfigurationCancelled = 0;   // Cancel in the CSP's dialog
inline constexpr Status kNotAdministrator = 1;
inline constexpr Status kUpdateDeclined = 1;           // No to the update question
inline constexpr Status kInstalledVersionUnreadable = 1;  // its length could not be read
inline constexpr Status kWindows2000BelowSp4 = 3;
inline constexpr Status kWindowsXpBelowSp2 = 4;
inline constexpr Status kWindows2003BelowSp1 = 5;
inline constexpr Status kRestartFailed = 7;            // a restart due was not made (interactive)
inline constexpr Status kUserDeclined = 1602;          // No to the reinstall question; the CSP's
inline constexpr Status kAlreadyRunning = 1618;        // another run holds the run lock
inline constexpr Status kNewerInstalled = 1638;        // a newer plug-in is installed (interactive)
inline constexpr Status kBadLogFolder = 161;           // TMP or -logdir not a full path, or quoted
inline constexpr Status kInvalidCommandLine = 1639;    // unattended: an argument it cannot read
inline constexpr Status kRestartStarted = 1641;        // -restartcodes: this run started the restart
inline constexpr Status kRestartDue = 3010;            // -restartcodes: a restart is due, not made

// Codes passed through from the step that failed, as Windows gave them:
//   2    ERROR_FILE_NOT_FOUND: msiexec or the CSP's Setup.exe could not be started;
//        the system folder could not be read and the call set no error of its own
//   3, 4, 5 and other Win32 errors of a program's start, of a folder or file read
//   203  ERROR_ENVVAR_NOT_FOUND: TMP unset or empty, so no installer log can be named
//   232  ERROR_NO_DATA: no package found beside the executable or one level below
//   1603 and any other code msiexec or the CSP's setup program ends with
//   1619, 1620 Windows Installer: the package cannot be opened, has no ProductCode
//        or ProductVersion
//   1627 Windows Installer: a function failed (Wine answers it for unusable packages)
//   any error of the installed version's value read, of -logdir's folder's creation
//   or of the own log's creation there (5, 3, ...)
//   0x800B0100, 0x800B0004 and WinVerifyTrust's other results: a build that pins the
//   packages' publisher refused the plug-in's package or the CSP's Setup.exe
//   the browser offer never changes the code

}  // namespace exit_code

// How a step came out: whether the run goes on, and if not, the code it ends with and
// the failure box the user must still be shown for it (the step's text, and the
// installer log that box names). Boxes of a step's own, like a question's, are shown
// by the step; this box is the run's, shown once where the run ends.
struct StepOutcome {
  bool ended = false;
  Status code = exit_code::kSuccess;
  std::uint16_t failureText = 0;  // 0: nothing more to show
  std::wstring logPath;

  static StepOutcome GoOn() { return {}; }
  static StepOutcome End(Status code) { return {true, code, 0, {}}; }
  static StepOutcome Failed(Status code, std::uint16_t failureText, std::wstring logPath = {}) {
    return {true, code, failureText, std::move(logPath)};
  }
};

}  // namespace korvana
