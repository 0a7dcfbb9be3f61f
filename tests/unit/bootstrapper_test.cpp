#include "app/bootstrapper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "resources/compiled_catalog.h"
#include "fake_platform.h"
#include "resources/dialog_ids.h"
#include "resources/text_ids.h"

namespace korvana {
namespace {

using testing::FakePlatform;
using namespace testing::box;

constexpr wchar_t kPackage[] = L"C:\\setup\\sivetcom-x64-rus.msi";
constexpr wchar_t kMarker[] = L"HKCU\\Software\\NeedBstrReboot";
const std::wstring kFailure =
    L"В процессе установки или обновления Корвана ЭЦП Browser plug-in возникла ошибка";

enum Rights { kUser, kAdmin };
enum Installer { kNoInstall, kInstalls };  // whether msiexec runs

// A machine with the plug-in package beside the executable and nothing installed;
// msiexec ends with `installerResult`.
struct Machine : FakePlatform {
  Status installerResult = 0;
  Status cspResult = 0;
  bool installerWritesLog = true;

  Machine() {
    AddPackage(kPackage, {{L"ProductCode", L"{11111111-1111-1111-1111-111111111111}"},
                          {L"UpgradeCode", L"{22222222-2222-2222-2222-222222222222}"},
                          {L"ProductName", L"Korvana plug-in"},
                          {L"ProductVersion", L"2.0.13"}});
    files.AddFile(L"C:\\setup\\csp\\Setup.exe");
    processes.onRun = [this](const std::wstring& commandLine) -> Status {
      if (commandLine.find(L"csp\\Setup.exe\"") != std::wstring::npos) return cspResult;
      if (commandLine.find(L"msiexec.exe") == std::wstring::npos) return 0;
      // msiexec writes the log the command line names.
      auto at = commandLine.find(L"/Lv \"");
      if (installerWritesLog && at != std::wstring::npos) {
        auto start = at + 5;
        files.AddFile(commandLine.substr(start, commandLine.find(L'"', start) - start));
      }
      // What Windows Installer then knows of the product.
      if (installerResult == 0 || installerResult == 3010)
        msi.products.push_back({L"{11111111-1111-1111-1111-111111111111}",
                                L"{22222222-2222-2222-2222-222222222222}", L"2.0.13"});
      return installerResult;
    };
  }

  // Runs with `args` after the program path; the exit code, however the run ends.
  std::uint32_t Run(const std::vector<std::wstring>& args) {
    std::wstring tail;
    std::vector<std::wstring> argv{L"C:\\setup\\korvana-setup.exe"};
    for (const auto& a : args) {
      tail += (tail.empty() ? L"" : L" ") + a;
      argv.push_back(a);
    }
    commandLine.argv = std::optional<std::vector<std::wstring>>(argv);
    return RunBootstrapper(platform(), tail);
  }

  std::vector<std::wstring> Texts() const {
    std::vector<std::wstring> out;
    for (const auto& b : ui.boxes) out.push_back(b.text);
    return out;
  }
  bool Ran(const std::wstring& piece) const {
    return std::any_of(processes.commandLines.begin(), processes.commandLines.end(),
                       [&](const std::wstring& c) { return c.find(piece) != std::wstring::npos; });
  }
};

TEST(RunBootstrapper, ExitCodesOfTheWholeRun) {
  constexpr std::uint16_t kNotXp = 99;  // else the service pack of an XP (5.1)
  struct Case {
    const char* name;
    std::vector<std::wstring> args;
    Rights rights;
    std::uint16_t servicePack;
    std::deque<int> answers;
    Status installerResult;
    std::uint32_t exitCode;
    Installer installer;
    Status cspResult = 0;  // the CSP's setup program's, in CSP mode
  };
  const Case cases[] = {
      {"help", {L"-help"}, kAdmin, kNotXp, {}, 0, 0, kNoInstall},
      {"help wins over missing rights", {L"-silent", L"-help"}, kUser, kNotXp, {}, 0, 0, kNoInstall},
      {"no rights", {}, kUser, kNotXp, {}, 0, 1, kNoInstall},
      {"no rights, silent", {L"-silent"}, kUser, kNotXp, {}, 0, 1, kNoInstall},
      {"XP SP1", {L"-silent"}, kAdmin, 1, {}, 0, 4, kNoInstall},
      {"No to the first question", {}, kAdmin, kNotXp, {kNo}, 0, 0, kNoInstall},
      {"silent success", {L"-silent"}, kAdmin, kNotXp, {}, 0, 0, kInstalls},
      {"user cancelled in msiexec", {}, kAdmin, kNotXp, {kYes}, 1602, 1602, kInstalls},
      {"user cancelled, silent", {L"-silent"}, kAdmin, kNotXp, {}, 1602, 1602, kInstalls},
      {"install failure", {}, kAdmin, kNotXp, {kYes, kOk}, 1603, 1603, kInstalls},
      {"install failure, silent", {L"-silent"}, kAdmin, kNotXp, {}, 1603, 1603, kInstalls},
      {"restart needed, silent, norestart", {L"-silent", L"-norestart"}, kAdmin, kNotXp, {}, 3010, 0,
       kInstalls},
      {"interactive success", {}, kAdmin, kNotXp, {kYes}, 0, 0, kInstalls},
      // CSP mode: the CSP first; when it fails, msiexec never runs.
      {"CSP mode, silent", {L"-csp", L"-silent"}, kAdmin, kNotXp, {}, 0, 0, kInstalls},
      {"CSP mode, CSP fails", {L"-csp", L"-silent"}, kAdmin, kNotXp, {}, 0, 3010, kNoInstall, 3010},
      {"CSP mode, interactive", {L"-csp"}, kAdmin, kNotXp, {}, 0, 0, kInstalls},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Machine m;
    m.system.admin = c.rights == kAdmin;
    if (c.servicePack != kNotXp) {
      m.system.osMajor = 5;
      m.system.osMinor = 1;
      m.system.osServicePack = c.servicePack;
    }
    m.ui.boxAnswers = c.answers;
    m.installerResult = c.installerResult;
    m.cspResult = c.cspResult;
    EXPECT_EQ(m.Run(c.args), c.exitCode);
    EXPECT_EQ(m.Ran(L"msiexec.exe"), c.installer == kInstalls);
    EXPECT_EQ(m.registry.openKeys, 0);
  }
}

TEST(RunBootstrapper, BoxesCarryTheCaptionOfTheModeAndTheirStyle) {
  struct Case {
    std::vector<std::wstring> args;
    Rights rights;
    std::wstring text;
    std::wstring caption;
    std::uint32_t style;
  };
  const Case cases[] = {
      {{}, kUser, L"Программа должна быть запущена от имени администратора.",
       L"Корвана ЭЦП Browser plug-in", kErrorBoxStyle},
      {{L"-csp"}, kUser, L"Программа должна быть запущена от имени администратора.",
       L"Установка Корвана", kErrorBoxStyle},
      {{}, kAdmin, L"Установить Корвана ЭЦП Browser plug-in?", L"Корвана ЭЦП Browser plug-in",
       kQuestionBoxStyle},
  };
  for (const Case& c : cases) {
    Machine m;
    m.system.admin = c.rights == kAdmin;
    m.ui.boxAnswers = {kNo};
    m.Run(c.args);
    ASSERT_FALSE(m.ui.boxes.empty());
    EXPECT_EQ(m.ui.boxes[0].text, c.text);
    EXPECT_EQ(m.ui.boxes[0].caption, c.caption);
    EXPECT_EQ(m.ui.boxes[0].style, c.style);
    EXPECT_EQ(m.ui.boxes[0].owner, Owner::OwnerWindow);
  }
}

TEST(RunBootstrapper, TheOwnerWindowComesFirstAndTheInstallerUiIsSwitchedOffBeforeAnyMsiCall) {
  Machine m;
  m.Run({L"-silent"});
  // Before it, only the start's time, the common controls any window needs, and the
  // question whether anyone can see a window.
  const auto owner = std::find(m.calls.begin(), m.calls.end(), "CreateOwnerWindow");
  ASSERT_NE(owner, m.calls.end());
  EXPECT_EQ(std::vector<std::string>(m.calls.begin(), owner),
            (std::vector<std::string>{"localtime", "InitCommonControlsEx", "GetUserObjectInformation"}));
  auto firstMsi = std::find_if(m.calls.begin(), m.calls.end(),
                               [](const std::string& c) { return c.rfind("Msi", 0) == 0; });
  ASSERT_NE(firstMsi, m.calls.end());
  EXPECT_EQ(*firstMsi, "MsiSetInternalUI");
  EXPECT_EQ(m.msi.internalUiLevels, std::vector<std::uint32_t>{2});
  // The gate ran before it, and the run lock between the two.
  const auto lock = std::find(m.calls.begin(), m.calls.end(), "CreateMutex");
  EXPECT_LT(std::find(m.calls.begin(), m.calls.end(), "VerifyVersionInfo"), lock);
  EXPECT_LT(lock, firstMsi);
  // Owned by Administrators and open to administrators and SYSTEM alone.
  EXPECT_EQ(m.processes.claimedMutexes,
            std::vector<std::wstring>{L"Global\\KorvanaSetupRun O:BAD:(A;;GA;;;BA)(A;;GA;;;SY)"});
}

// A run whose lock another run holds ends before it touches anything, with 1618 and,
// when interactive, the plug-in's failure box without a log; an abandoned lock, or
// one that cannot be made, lets the run go on. A lock counts only when its owner is
// Administrators or SYSTEM, as only a run (or the system) can make it: one that any
// other account made, held or not, is ignored.
TEST(RunBootstrapper, OneRunAtATime) {
  const std::wstring admins = L"S-1-5-32-544", users = L"S-1-5-32-545",
                     user = L"S-1-5-21-1004336348-1177238915-682003330-1001";
  const std::wstring another = L"another run is in progress";
  const struct {
    const char* name;
    MutexClaim claim;
    std::wstring owner;  // of a lock that existed
    std::vector<std::wstring> args;
    std::uint32_t exitCode;
    std::vector<std::wstring> boxes;  // failure boxes: text, caption
    std::wstring logged;              // the lock's line in the own log, if any
  } cases[] = {
      {"made", MutexClaim::Created, L"", {L"-silent"}, 0, {}, L""},
      {"free", MutexClaim::Owned, admins, {L"-silent"}, 0, {}, L""},
      {"abandoned", MutexClaim::OwnedAbandoned, admins, {L"-silent"}, 0, {}, L"run lock: abandoned, taken"},
      {"cannot be made", MutexClaim::Failed, L"", {L"-silent"}, 0, {}, L"run lock: error 5"},
      {"held, silent", MutexClaim::HeldElsewhere, admins, {L"-silent"}, 1618, {}, another},
      {"held", MutexClaim::HeldElsewhere, admins, {}, 1618, {kFailure + L": 1618.\n", L"Корвана ЭЦП Browser plug-in"}, another},
      {"held, CSP mode", MutexClaim::HeldElsewhere, admins, {L"-csp"}, 1618, {kFailure + L": 1618.\n", L"Установка Корвана"}, another},
      {"held, made as SYSTEM", MutexClaim::HeldElsewhere, L"S-1-5-18", {L"-silent"}, 1618, {}, another},
      // Made by other accounts.
      {"held, owned by Users", MutexClaim::HeldElsewhere, users, {L"-silent"}, 0, {}, L"run lock: owned by " + users + L", ignored"},
      {"held, owned by a user", MutexClaim::HeldElsewhere, user, {}, 0, {}, L"run lock: owned by " + user + L", ignored"},
      {"held, owner alike", MutexClaim::HeldElsewhere, admins + L"0", {L"-silent"}, 0, {}, L"run lock: owned by S-1-5-32-5440, ignored"},
      {"held, no owner", MutexClaim::HeldElsewhere, L"", {L"-silent"}, 0, {}, L"run lock: owned by , ignored"},
      {"free, owned by Users", MutexClaim::Owned, users, {L"-silent"}, 0, {}, L"run lock: owned by " + users + L", ignored"},
      {"abandoned, owned by a user", MutexClaim::OwnedAbandoned, user, {L"-silent"}, 0, {}, L"run lock: owned by " + user + L", ignored"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Machine m;
    m.processes.mutexClaim = c.claim;
    m.processes.mutexOwner = c.owner;
    EXPECT_EQ(m.Run(c.args), c.exitCode);
    const bool held = c.exitCode == 1618;
    EXPECT_EQ(m.Ran(L"msiexec.exe"), !held);
    if (held) {
      EXPECT_TRUE(m.processes.commandLines.empty());
      EXPECT_EQ(m.Count("MsiSourceListClearAll") + m.Count("DeleteFile") + m.Count("MsiSetInternalUI"), 0);
      EXPECT_EQ(m.log.lines.back(), L"exit code 1618");
    }
    std::vector<std::wstring> boxes;
    for (const auto& b : m.ui.boxes)
      if (b.text.rfind(kFailure, 0) == 0) boxes.insert(boxes.end(), {b.text, b.caption});
    EXPECT_EQ(boxes, c.boxes);
    std::vector<std::wstring> lockLines;
    for (const auto& line : m.log.lines)
      if (line.rfind(L"run lock: ", 0) == 0 || line == another) lockLines.push_back(line);
    EXPECT_EQ(lockLines, c.logged.empty() ? std::vector<std::wstring>{} : std::vector<std::wstring>{c.logged});
  }
}

TEST(RunBootstrapper, AnEmptyTailIsNotParsed) {
  Machine m;
  m.commandLine.text = L"korvana-setup.exe -help";  // would show the help if parsed
  RunBootstrapper(m.platform(), L"");
  EXPECT_EQ(m.Count("CommandLineToArgv"), 0);
  EXPECT_EQ(m.Count("GetCommandLine"), 0);
}

TEST(RunBootstrapper, FailureMessageCarriesTheCodeAndTheLogWhenItExists) {
  for (bool logExists : {true, false}) {
    Machine m;
    m.installerResult = 1603;
    m.installerWritesLog = logExists;
    m.ui.boxAnswers = {kYes, kOk};
    EXPECT_EQ(m.Run({}), 1603u);
    ASSERT_EQ(m.ui.boxes.size(), 2u);
    const auto& box = m.ui.boxes[1];
    std::wstring expected = kFailure + L": 1603.\n";
    if (logExists)
      expected += L"Install log: C:\\temp\\sivetcom-x64-rus.msi_2026-12-07-04-36-54.log";
    EXPECT_EQ(box.text, expected);
    EXPECT_EQ(box.caption, L"Корвана ЭЦП Browser plug-in");
    EXPECT_EQ(box.style, kErrorBoxStyle);
    EXPECT_EQ(box.owner, Owner::OwnerWindow);
  }
}

TEST(RunBootstrapper, AFailureWithoutALogNamesNoLog) {
  Machine m;
  m.installerResult = 1603;
  m.ui.boxAnswers = {kYes, kOk};
  EXPECT_EQ(m.Run({L"-SivetArgs", L"/l*v C:\\x.log"}), 1603u);
  ASSERT_EQ(m.ui.boxes.size(), 2u);
  EXPECT_EQ(m.ui.boxes[1].text, kFailure + L": 1603.\n");
}

TEST(RunBootstrapper, TheScriptRunsThroughTheScriptHostBeforeThePlugInAndIsWaitedFor) {
  struct Case {
    std::vector<std::wstring> args;
    Status installerResult;
    std::optional<std::wstring> windows;
    bool scriptRuns;
  };
  const Case cases[] = {
      {{L"-silent", L"-vbscript", L"C:\\s\\a b.vbs"}, 0, L"C:\\windows", true},
      {{L"-silent", L"-vbscript", L"C:\\s\\a b.vbs"}, 1603, L"C:\\windows", true},
      {{L"-silent", L"-vbscript", L"C:\\s\\a b.vbs"}, 0, std::nullopt, false},
      {{L"-silent"}, 0, L"C:\\windows", false},
  };
  for (const Case& c : cases) {
    Machine m;
    m.installerResult = c.installerResult;
    m.files.windowsDirectory = c.windows;
    std::vector<std::wstring> order;
    auto install = m.processes.onRun;
    m.processes.onRun = [&](const std::wstring& commandLine) -> Status {
      order.push_back(commandLine);
      if (commandLine.find(L"wscript") != std::wstring::npos) return 77;  // ignored
      return install(commandLine);
    };
    EXPECT_EQ(m.Run(c.args), c.installerResult);
    if (c.scriptRuns) {
      ASSERT_EQ(order.size(), 2u);
      EXPECT_EQ(order[0], L"\"C:\\windows\\System32\\wscript.exe\" C:\\s\\a b.vbs");
      EXPECT_NE(order[1].find(L"msiexec.exe"), std::wstring::npos);
    } else {
      EXPECT_FALSE(m.Ran(L"wscript"));
    }
  }
}

TEST(RunBootstrapper, TheRestartMarkerIsReadAndDeletedAfterSuccessOnly) {
  struct Case {
    const char* name;
    std::vector<std::wstring> args;
    bool markerBefore;
    Status installerResult;
    bool restartAccepted;
    bool restartAsked;
    bool markerAfter;
    std::uint32_t exitCode;
    bool restartFailedBox = false;
    std::optional<bool> restartBoxAtOk = std::nullopt;  // interactive: as the user leaves it
  };
  const Case cases[] = {
      {"installer asks, silent: restart", {L"-silent"}, false, 3010, true, true, false, 0},
      // Interactive: the completion dialog asks; OK with the restart box ticked restarts.
      {"dialog, box left ticked: restart", {}, false, 3010, true, true, false, 0},
      {"dialog, restart refused: 111 and 7", {}, false, 3010, false, true, false, 7, true},
      {"dialog, box unticked: no restart, no 111", {}, false, 3010, true, false, false, 0, false, false},
      {"dialog, norestart: box starts unticked", {L"-norestart"}, false, 3010, true, false, false, 0},
      // Refused, but no marker asked for it: nothing to report.
      {"dialog, ticked without a marker, refused", {}, false, 0, false, true, false, 0, false, true},
      {"1641 too", {L"-silent"}, false, 1641, true, true, false, 0},
      {"refused restart still exits 0", {L"-silent"}, false, 3011, false, true, false, 0},
      {"norestart: no restart, marker gone", {L"-silent", L"-norestart"}, false, 3010, true, false, false, 0},
      {"an earlier run's marker counts", {L"-silent"}, true, 0, true, true, false, 0},
      {"no marker, no restart", {L"-silent"}, false, 0, true, false, false, 0},
      {"failure leaves the marker alone", {L"-silent"}, true, 1603, true, false, true, 1603},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Machine m;
    if (c.markerBefore) m.registry.keys.insert(kMarker);
    m.installerResult = c.installerResult;
    m.processes.exitWindowsAccepts = c.restartAccepted;
    m.ui.onDialog = [&](testing::FakeDialog& dialog) {
      dialog.Init();
      dialog.Check(kBrowserBox, false);
      if (c.restartBoxAtOk) dialog.Check(kRestartBox, *c.restartBoxAtOk);
      dialog.Press(1);
    };
    EXPECT_EQ(m.Run(c.args), c.exitCode);
    EXPECT_EQ(!m.processes.exitWindowsCalls.empty(), c.restartAsked);
    bool silent = std::count(c.args.begin(), c.args.end(), L"-silent") != 0;
    EXPECT_EQ(m.Count("DialogBoxParam"), silent ? 0 : 1);
    const std::vector<std::wstring> texts = m.Texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(),
                         L"Не удалось произвести перезагрузку.\nПерезагрузите компьютер вручную."),
              c.restartFailedBox ? 1 : 0);
    EXPECT_EQ(m.registry.keys.count(kMarker) == 1, c.markerAfter);
    EXPECT_EQ(m.registry.openKeys, 0);
  }
}

// What becomes of a restart, and the code that tells it, by who can see the run, how
// it was started and what Windows does with the request.
TEST(RunBootstrapper, RestartOutcomesBySessionAndOptions) {
  constexpr bool kVisible = false, kUnattended = true;
  constexpr bool kDue = true, kNotDue = false;
  constexpr bool kAccepted = true, kRefused = false;
  enum Box { kUnticked, kTicked, kNoDialog };
  const std::vector<std::wstring> kSilent{L"-silent"};
  const std::vector<std::wstring> kSilentCodes{L"-silent", L"-restartcodes"};
  const std::vector<std::wstring> kCodes{L"-restartcodes"};
  const struct {
    bool unattended;
    std::vector<std::wstring> args;
    bool due, accepted;
    Box box;  // the restart box as the user leaves it at OK
    Status code;
    bool restartAsked, notice;
  } rows[] = {
      {kVisible, kSilent, kDue, kAccepted, kNoDialog, 0, true, false},
      {kVisible, kSilent, kDue, kRefused, kNoDialog, 0, true, false},
      {kVisible, kSilentCodes, kDue, kAccepted, kNoDialog, 1641, true, false},
      {kVisible, kSilentCodes, kDue, kRefused, kNoDialog, 3010, true, false},
      {kVisible, kSilentCodes, kNotDue, kAccepted, kNoDialog, 0, false, false},
      {kVisible, {L"-silent", L"-norestart"}, kDue, kAccepted, kNoDialog, 0, false, false},
      {kVisible, {L"-silent", L"-norestart", L"-restartcodes"}, kDue, kAccepted, kNoDialog, 3010,
       false, false},
      {kVisible, {}, kDue, kAccepted, kTicked, 0, true, false},
      {kVisible, {}, kDue, kRefused, kTicked, 7, true, true},
      {kVisible, {}, kDue, kAccepted, kUnticked, 0, false, false},
      {kVisible, kCodes, kDue, kAccepted, kTicked, 1641, true, false},
      {kVisible, kCodes, kDue, kRefused, kTicked, 3010, true, true},
      {kVisible, kCodes, kDue, kAccepted, kUnticked, 3010, false, false},
      {kVisible, kCodes, kNotDue, kAccepted, kTicked, 1641, true, false},
      {kVisible, kCodes, kNotDue, kAccepted, kUnticked, 0, false, false},
      // Nobody watches: the run restarts nothing unless -silent says it may.
      {kUnattended, {}, kDue, kAccepted, kNoDialog, 3010, false, false},
      {kUnattended, {}, kNotDue, kAccepted, kNoDialog, 0, false, false},
      {kUnattended, {L"-norestart"}, kDue, kAccepted, kNoDialog, 3010, false, false},
      {kUnattended, kSilent, kDue, kAccepted, kNoDialog, 0, true, false},
      {kUnattended, kSilentCodes, kDue, kAccepted, kNoDialog, 1641, true, false},
      {kUnattended, kSilentCodes, kDue, kRefused, kNoDialog, 3010, true, false},
  };
  for (const auto& row : rows) {
    std::wstring name = row.unattended ? L"unattended" : L"visible";
    for (const auto& a : row.args) name += L" " + a;
    SCOPED_TRACE(std::string(name.begin(), name.end()) + (row.due ? ", due" : ", not due") +
                 (row.accepted ? ", accepted" : ", refused") + ", box " + std::to_string(row.box));
    Machine m;
    m.ui.windowStationVisible = !row.unattended;
    m.installerResult = row.due ? 3010 : 0;
    m.processes.exitWindowsAccepts = row.accepted;
    m.ui.onDialog = [&](testing::FakeDialog& dialog) {
      dialog.Init();
      dialog.Check(kBrowserBox, false);
      dialog.Check(kRestartBox, row.box == kTicked);
      dialog.Press(1);
    };
    EXPECT_EQ(m.Run(row.args), row.code);
    EXPECT_EQ(!m.processes.exitWindowsCalls.empty(), row.restartAsked);
    EXPECT_EQ(m.Count("DialogBoxParam"), row.box == kNoDialog ? 0 : 1);
    const std::vector<std::wstring> texts = m.Texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(),
                         L"Не удалось произвести перезагрузку.\nПерезагрузите компьютер вручную."),
              row.notice ? 1 : 0);
    EXPECT_EQ(m.registry.keys.count(kMarker), 0u);
  }
}

// Where nobody can see a window, nothing waits for an answer: no box, no dialog, the
// silent answers, and installers and script host told to show nothing either.
TEST(RunBootstrapper, AnUnattendedSessionShowsNothingAndWaitsForNothing) {
  const struct {
    const char* name;
    std::vector<std::wstring> args;
    std::optional<bool> visible;
    Status code;
    std::vector<std::wstring> lineParts;  // in the command lines run, in order
    std::size_t boxes;
  } rows[] = {
      {"plain", {}, false, 0, {L" REBOOT=R  /qn ADDNPSIVET=1"}, 0},
      {"an argument it cannot read", {L"-bogus"}, false, 1639, {}, 0},
      {"silent with one", {L"-silent", L"-bogus"}, false, 1639, {}, 0},
      {"a value missing", {L"-SivetArgs"}, false, 1639, {}, 0},
      {"help", {L"-help"}, false, 0, {}, 0},
      {"the user's own level wins", {L"-SivetArgs", L"/qb!"}, false, 0,
       {L" REBOOT=R  ADDNPSIVET=1 /qb! "}, 0},
      {"CSP with its dialog asked for", {L"-csp", L"-selectDlg"}, false, 0,
       {L"-args \"/qn /Lv", L"-noreboot -silent", L" REBOOT=R  /qn ADDNPSIVET=1"}, 0},
      {"the script host in batch mode", {L"-vbscript", L"a.vbs"}, false, 0,
       {L"wscript.exe\" //B a.vbs", L"/qn"}, 0},
      // Visible, or a session that cannot be asked: as ever.
      {"visible: the help box", {L"-bogus"}, true, 0, {}, 1},
      {"cannot be asked", {L"-bogus"}, std::nullopt, 0, {}, 1},
      {"visible: /qb and the question", {}, true, 0, {L" REBOOT=R  /qb ADDNPSIVET=1"}, 1},
      {"visible: no //B", {L"-vbscript", L"a.vbs", L"-silent"}, true, 0, {L"wscript.exe\" a.vbs"}, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Machine m;
    m.ui.windowStationVisible = row.visible;
    EXPECT_EQ(m.Run(row.args), row.code);
    const bool unattended = row.visible == std::optional<bool>(false);
    EXPECT_EQ(m.ui.boxes.size(), row.boxes);
    if (unattended) {
      EXPECT_EQ(m.Count("DialogBoxParam"), 0);
    }
    std::size_t at = 0;
    for (const std::wstring& part : row.lineParts) {
      while (at < m.processes.commandLines.size() && m.processes.commandLines[at].find(part) == std::wstring::npos) ++at;
      EXPECT_LT(at, m.processes.commandLines.size()) << std::string(part.begin(), part.end());
    }
    if (row.lineParts.empty()) {
      EXPECT_TRUE(m.processes.commandLines.empty());
    }
    EXPECT_EQ(std::count_if(m.log.lines.begin(), m.log.lines.end(),
                            [](const std::wstring& l) { return l.rfind(L"no visible desktop", 0) == 0; }),
              unattended ? 1 : 0);
  }
}

// The logs go to -logdir's folder (made full, created with its parents) or to TMP; a
// folder that cannot serve ends the run before anything starts, and the own log never
// goes into a file that was there before.
TEST(RunBootstrapper, LogsGoWhereTheyAreCollected) {
  const std::wstring kOwn = L"korvana-setup_2026-12-07-04-36-54";
  const struct {
    const char* name;
    std::vector<std::wstring> args;
    std::optional<std::wstring> tmp;
    std::function<void(Machine&)> arrange;
    Status code;
    std::optional<std::wstring> ownLog;  // the file created
    std::wstring installerLog;           // on msiexec's line; empty: nothing ran
    std::vector<std::wstring> folders;   // created, parents first
  } rows[] = {
      {"TMP", {L"-silent"}, L"C:\\temp", [](Machine&) {}, 0, L"C:\\temp\\" + kOwn + L".log",
       L"C:\\temp\\sivetcom-x64-rus.msi_", {}},
      {"a name taken twice", {L"-silent"}, L"C:\\temp",
       [&](Machine& m) {
         m.log.createErrors[L"C:\\temp\\" + kOwn + L".log"] = 80;
         m.log.createErrors[L"C:\\temp\\" + kOwn + L"_2.log"] = 80;
       },
       0, L"C:\\temp\\" + kOwn + L"_3.log", L"C:\\temp\\sivetcom", {}},
      {"-logdir, nested, TMP unset", {L"-silent", L"-logdir", L"D:\\logs\\korvana"}, std::nullopt,
       [](Machine&) {}, 0, L"D:\\logs\\korvana\\" + kOwn + L".log",
       L"D:\\logs\\korvana\\sivetcom", {L"D:\\logs", L"D:\\logs\\korvana"}},
      {"-logdir relative", {L"-silent", L"-logdir", L"logs"}, L"C:\\temp", [](Machine&) {}, 0,
       L"C:\\setup\\logs\\" + kOwn + L".log", L"C:\\setup\\logs\\sivetcom",
       {L"C:\\setup", L"C:\\setup\\logs"}},
      {"-logdir on a share", {L"-silent", L"-logdir", L"\\\\srv\\logs\\k"}, L"C:\\temp",
       [](Machine&) {}, 0, L"\\\\srv\\logs\\k\\" + kOwn + L".log", L"\\\\srv\\logs\\k\\",
       {L"\\\\srv\\logs\\k"}},
      {"-logdir that cannot be made", {L"-silent", L"-logdir", L"D:\\logs"}, L"C:\\temp",
       [](Machine& m) { m.files.failingCreates.insert(L"D:\\logs"); }, 5,
       L"C:\\temp\\" + kOwn + L".log", L"", {}},
      {"-logdir not writable", {L"-silent", L"-logdir", L"D:\\logs"}, L"C:\\temp",
       [&](Machine& m) { m.log.createErrors[L"D:\\logs\\" + kOwn + L".log"] = 5; }, 5,
       L"C:\\temp\\" + kOwn + L".log", L"", {L"D:\\logs"}},
      {"-logdir with a quote", {L"-silent", L"-logdir", L"D:\\a\" TRANSFORMS=x"}, L"C:\\temp",
       [](Machine&) {}, 161, L"C:\\temp\\" + kOwn + L".log", L"", {}},
      {"-logdir rooted on no drive", {L"-silent", L"-logdir", L"\\logs"}, L"C:\\temp",
       [](Machine&) {}, 161, L"C:\\temp\\" + kOwn + L".log", L"", {}},
      {"TMP with a quote", {L"-silent"}, L"C:\\t\" TRANSFORMS=x", [](Machine&) {}, 161,
       std::nullopt, L"", {}},
      {"TMP relative", {L"-silent"}, L"temp", [](Machine&) {}, 161, std::nullopt, L"", {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Machine m;
    if (row.tmp) m.environment.variables[L"TMP"] = *row.tmp;
    else m.environment.variables.erase(L"TMP");
    row.arrange(m);
    EXPECT_EQ(m.Run(row.args), row.code);
    EXPECT_EQ(m.log.file, row.ownLog);
    EXPECT_EQ(m.log.abandoned, !row.ownLog.has_value());
    if (row.ownLog) {
      EXPECT_GE(m.log.linesBeforeFile, 1u);  // the first line went in too
    }
    EXPECT_EQ(m.files.foldersCreated, row.folders);
    if (row.installerLog.empty()) {
      EXPECT_TRUE(m.processes.commandLines.empty());
    } else {
      ASSERT_EQ(m.processes.commandLines.size(), 1u);
      EXPECT_NE(m.processes.commandLines[0].find(L"/Lv \"" + row.installerLog), std::wstring::npos)
          << std::string(m.processes.commandLines[0].begin(), m.processes.commandLines[0].end());
    }
  }
}

TEST(RunBootstrapper, TheMarkerIsOpenedAndDeletedWithTheDescribedAccessAndRoute) {
  for (bool apiSetLoaded : {true, false}) {
    Machine m;
    m.registry.keys.insert(kMarker);
    if (apiSetLoaded) m.system.loadedModules.insert(L"API-MS-Win-Core-LocalRegistry-L1-1-0.dll");
    EXPECT_EQ(m.Run({L"-silent"}), 0u);
    std::vector<testing::FakeRegistry::Operation> relevant;
    for (const auto& call : m.registry.operations)
      if (call.what != "create") relevant.push_back(call);
    ASSERT_EQ(relevant.size(), 3u);
    EXPECT_EQ(relevant[0].what, "open");
    EXPECT_EQ(relevant[0].key, kMarker);
    EXPECT_EQ(relevant[0].access, 0x20219u);
    EXPECT_EQ(relevant[1].what, "open");
    EXPECT_EQ(relevant[1].key, L"HKCU\\Software");
    EXPECT_EQ(relevant[1].access, 0x2021fu);
    EXPECT_EQ(relevant[2].what, "delete");
    EXPECT_EQ(relevant[2].key, kMarker);
    EXPECT_EQ(relevant[2].route, apiSetLoaded ? "RegDeleteKeyExW" : "RegDeleteKeyW");
  }
}

TEST(RunBootstrapper, AnUnopenableSoftwareKeySkipsTheDeletion) {
  Machine m;
  m.registry.keys.insert(kMarker);
  m.registry.failingOpens.insert(L"HKCU\\Software");
  EXPECT_EQ(m.Run({L"-silent"}), 0u);
  EXPECT_EQ(m.registry.keys.count(kMarker), 1u);
  EXPECT_EQ(m.Count("RegDeleteKeyW") + m.Count("RegDeleteKeyExW"), 0);
  EXPECT_EQ(m.processes.exitWindowsCalls.size(), 1u);  // the marker was still found
}

TEST(RunBootstrapper, CspModeRunsTheCspFirstAsksNothingAndEndsInTheDialog) {
  const struct {
    std::vector<std::wstring> args;
    bool configurationShown;
    const wchar_t* kcAndLanguage;  // as the CSP's setup program gets them
    std::uint16_t completionText;
  } cases[] = {
      {{L"-csp"}, false, L"-skipinstallvalidate -args", 109},
      {{L"-csp", L"-selectDlg"}, true, L"-skipinstallvalidate -kc kc1 -lang rus -args", 109},
      {{L"-csp", L"-KC", L"x", L"-selectDlg"}, true, L"-skipinstallvalidate -kc xkc1 -lang rus -args", 109},
      {{L"-csp", L"-selectDlg", L"-silent"}, false, L"-skipinstallvalidate -args", 0},
  };
  for (const auto& c : cases) {
    Machine m;
    std::wstring label;
    m.ui.onDialog = [&](testing::FakeDialog& dialog) {
      dialog.Init();
      if (m.ui.dialogsShown.back() == kConfigurationDialogId) {
        dialog.Press(kNextButton);
        return;
      }
      label = dialog.texts[kCompletionMessage];
      dialog.Check(kBrowserBox, false);
      dialog.Press(1);
    };
    EXPECT_EQ(m.Run(c.args), 0u);
    EXPECT_TRUE(m.ui.boxes.empty());  // not even the install question
    ASSERT_EQ(m.processes.commandLines.size(), 2u);
    EXPECT_EQ(m.processes.commandLines[0].rfind(L"\"C:\\setup\\csp\\Setup.exe\" -root", 0), 0u);
    EXPECT_NE(m.processes.commandLines[0].find(c.kcAndLanguage), std::wstring::npos) << m.processes.commandLines[0];
    EXPECT_NE(m.processes.commandLines[1].find(L"msiexec.exe"), std::wstring::npos);
    std::vector<std::uint16_t> dialogs;
    if (c.configurationShown) dialogs.push_back(kConfigurationDialogId);
    if (c.completionText != 0) dialogs.push_back(kCompletionDialogId);
    EXPECT_EQ(m.ui.dialogsShown, dialogs);
    if (c.completionText != 0) {
      EXPECT_EQ(label, CompiledCatalog().LoadText(c.completionText));
    }
  }
}

TEST(RunBootstrapper, CancelInTheConfigurationDialogEndsTheRunWithNothingStarted) {
  Machine m;
  m.ui.onDialog = [](testing::FakeDialog& dialog) {
    dialog.Init();
    dialog.Press(2);  // IDCANCEL
  };
  EXPECT_EQ(m.Run({L"-csp", L"-selectDlg"}), 0u);
  EXPECT_TRUE(m.processes.commandLines.empty());
}

// The run's own log: for a few runs, the events an administrator reads it for, in
// order (other lines may come between them).
TEST(RunBootstrapper, TheLogTellsWhatTheRunSawAndDecided) {
  const struct {
    const char* name;
    std::vector<std::wstring> args;
    bool package;  // beside the executable
    Status installerResult;
    std::vector<std::wstring> events;
    std::function<void(Machine&)> arrange = nullptr;
  } cases[] = {
      {"silent fresh install", {L"-silent"}, true, 0,
       {L"korvana-setup 1.0.0.0, arguments: -silent",
        L"options: silent; SivetArgs: ; vbscript: ; CSPArgs: ; KC: ; Lang: ",
        L"Windows NT 10.0, UI language 1049, package architecture x64",
        L"found C:\\setup\\sivetcom-x64-rus.msi",
        L"ProductCode: {11111111-1111-1111-1111-111111111111}", L"decision: fresh installation",
        L"run: \"C:\\windows\\system32\\msiexec.exe\" /i", L"its exit code: 0",
        L"installed: Korvana plug-in 2.0.13", L"no restart needed", L"exit code 0"}},
      {"restart needed under -norestart", {L"-silent", L"-norestart"}, true, 3010,
       {L"its exit code: 3010", L"installed: Korvana plug-in 2.0.13",
        L"restart needed, not made (-norestart)", L"exit code 0"}},
      {"interactive failure", {}, true, 1603,
       {L"box: text 103 -> 6", L"its exit code: 1603", L"box: " + kFailure + L": 1603.", L"exit code 1603"}},
      {"no package", {L"-silent"}, false, 0,
       {L"nothing matches C:\\setup\\*x64**.msi", L"nothing matches C:\\setup\\*.msi",
        L"box not shown (silent): text 151", L"exit code 232"}},
      {"common controls not loaded: the run goes on", {L"-silent"}, true, 0,
       {L"korvana-setup 1.0.0.0, arguments: -silent", L"common controls: error 126",
        L"options: silent", L"its exit code: 0", L"exit code 0"},
       [](Machine& m) { m.ui.commonControlsResult = 126; }},
      // The runs that end before an installation close their log the same way.
      {"help", {L"-silent", L"-help"}, true, 0, {L"help shown", L"exit code 0"}},
      {"update declined", {}, true, 0,
       {L"decision: update", L"box: ", L"update declined", L"exit code 1"},
       [](Machine& m) {
         m.msi.products.push_back({L"{33333333-3333-3333-3333-333333333333}",
                                   L"{22222222-2222-2222-2222-222222222222}", L"2.0.12"});
         m.ui.boxAnswers = {kYes, kNo};
       }},
      {"configuration cancelled", {L"-csp", L"-selectDlg"}, true, 0,
       {L"configuration cancelled", L"exit code 0"},
       [](Machine& m) {
         m.ui.onDialog = [](testing::FakeDialog& dialog) {
           dialog.Init();
           dialog.Press(2);  // IDCANCEL
         };
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Machine m;
    if (!c.package) m.files.entries.clear();
    m.installerResult = c.installerResult;
    if (c.arrange) c.arrange(m);
    m.Run(c.args);
    ASSERT_FALSE(m.log.lines.empty());
    EXPECT_EQ(m.log.lines.back(), c.events.back());  // the exit code closes every log
    std::size_t at = 0;
    for (const std::wstring& event : c.events) {
      while (at < m.log.lines.size() && m.log.lines[at].rfind(event, 0) != 0) ++at;
      ASSERT_LT(at, m.log.lines.size()) << "missing, or out of order: " << ::testing::PrintToString(event);
    }
  }
}

}  // namespace
}  // namespace korvana
