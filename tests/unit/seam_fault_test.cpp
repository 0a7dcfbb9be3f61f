// Every call into the machine that Windows can fail is made to fail, one at a time, in
// every scenario: the run must still end, close every handle it opened exactly once,
// write and delete only where it may, and never end in success after a step it needs
// has failed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "app/bootstrapper.h"
#include "install/csp_installer.h"
#include "install/plugin_installer.h"
#include "install_scenario.h"
#include "ui/completion_dialog.h"

namespace korvana::testing {
namespace {

// How a call fails (the status, last error, button or HRESULT where one is needed) and
// which of its occurrences in a run are essential, i.e. their failure must not end in
// success: "all", "none" (then `why` says why it is ignored), "first", "last" (a search
// falls back to its next pattern; the last has none), "after N" or "only N".
struct FaultRow {
  const char* call;
  std::int64_t value;
  const char* essential;
  const char* why;
};

const FaultRow kFaults[] = {
    // Steps the run needs.
    {"IsUserAnAdmin", 0, "all", ""},
    {"GetEnvironmentVariable", 8, "after 1", "the first is the own log's TMP: no own log, the run goes on"},
    {"CreateDirectory", 5, "all", ""},  // -logdir's folder, the download folder
    {"GetCurrentDirectory", 5, "all", ""},
    {"CreateMutex", 5, "none", "a run lock that cannot be made: the run goes on as before"},
    {"MsiGetProductInfo:length|MsiGetProductInfo:value", 1610, "all", ""},
    {"GetSystemDirectory", 0, "all", ""},  // without an error code: reported as 2
    {"RunAndWait", 2, "all", ""}, {"CreateThread", 0, "all", ""}, {"InternetOpen", 0, "all", ""},
    {"InternetOpenUrl", 0, "all", ""}, {"HttpQueryInfo", 0, "all", ""}, {"CreateFile", 0, "all", ""},
    {"WriteFile", 0, "all", ""},
    {"RtlGenRandom", 0, "all", ""},
    {"WinVerifyTrust", 0x800B0100, "all", ""},  // TRUST_E_NOSIGNATURE
    {"GetModuleFileName|ListEntries", 0, "last", ""},
    {"IsWow64Process", 0, "only 2",
     "the first names the architecture in the log; the second makes the installer's pattern; "
     "searches fall back"},
    {"MsiOpenPackageEx", 1619, "after 1", "installed product unreadable: a fresh install"},
    {"MsiGetProperty", 8, "after 2", "installed product unreadable: a fresh install"},
    // Failures ignored by design.
    {"InitCommonControlsEx", 126, "none", "logged; boxes and dialogs are tried all the same"},
    {"CreateOwnerWindow", 0, "none", "boxes then have no owner"},
    {"GetUserObjectInformation", 0, "none",
     "a station whose flags cannot be read counts as visible: boxes are shown as before"},
    {"CreateLogFile", 5, "none", "no own log in TMP: the run goes on (in -logdir's folder it ends)"},
    {"CommandLineToArgv", 0, "none", "no arguments: every default stands"},
    {"VerifyVersionInfo", 0, "none", "a system the gate cannot ask is let through"},
    {"MsiSetInternalUI", 0, "none", "changes only how Windows Installer looks"},
    {"MessageBox", 0, "none", "not the answer tested for: install and update go on, no reinstall"},
    {"DialogBoxParam", -1, "none", "the command line's CSP choice stands; the restart stays unasked"},
    {"GetProcAddress:IsWow64Process2", 0, "none", "no arm64 patterns"},
    {"GetProcAddress:IsWow64Process", 0, "none",
     "the log's lookup: the installer's pattern looks again, as nothing was cached"},
    {"MsiGetProductInfo:installed", 1605, "none", "the installed name and version only go into the log"},
    {"MsiEnumRelatedProducts", 5, "none", "installed product unreadable: a fresh install"},
    {"MsiQueryProductState", -2, "none", "an unknown state is not installed"},
    {"MsiQueryFeatureState", -2, "none", "the feature is simply not added back"},
    {"GetWindowsDirectory", 0, "none",
     "no script run, no source hash deleted; no download folder: the browser offer fails"},
    {"DeleteFile", 0, "none",
     "a source hash left behind is the usual case; a downloaded installer left is logged"},
    {"RemoveDirectory", 5, "none", "a download folder left is logged, open to administrators only"},
    {"wstat", 0, "none", "the failure box names no log"},
    {"_putws", 0, "none", "the stamp on standard output is a courtesy"},
    {"MsiSourceListClearAll|MsiSourceListSetInfo", 1605, "none", "fails for every fresh install"},
    {"RegOpenKeyEx", 5, "none", "no restart; marker kept; browser offered; no patch"},
    {"RegCreateKeyEx", 5, "none", "a marker not written costs only the restart"},
    {"RegDeleteKeyW", 5, "none", "the deletion's outcome is not examined"},
    {"GetModuleHandle", 0, "none", "the other deletion route; the patch library loaded anew"},
    {"EnableShutdownPrivilege|ExitWindowsEx", 0, "none", "a refused restart: 7 if the marker asked"},
    {"OpenSCManager|OpenService", 0, "none", "the browser counts as missing and is offered"},
    {"PostMessage", 0, "none", "a lost message leaves the dialog to the user, who may close it"},
    {"WaitForSingleObject", 0, "none", "a worker not ended is given up on; it holds its own share"},
    {"RegQueryValueEx", 5, "none", "no patch"}, {"ExpandEnvironmentStrings", 0, "none", "no patch"}, {"LoadLibrary", 0, "none", "no patch"},
    {"GetProcAddress", 0, "none", "a patch library without its entry stays loaded"},
    {"InternetReadFile", 0, "none", "a truncated download is the signature check's to reject"},
};

const FaultRow* RowOf(const std::string& call) {
  for (const FaultRow& row : kFaults)
    if (("|" + std::string(row.call) + "|").find("|" + call + "|") != std::string::npos) return &row;
  return nullptr;
}

bool Essential(const FaultRow& row, int occurrence, int total) {
  const std::string rule = row.essential;
  if (rule.rfind("after ", 0) == 0) return occurrence > std::stoi(rule.substr(6));
  if (rule.rfind("only ", 0) == 0) return occurrence == std::stoi(rule.substr(5));
  return rule == "all" || (rule == "first" && occurrence == 1) || (rule == "last" && occurrence == total);
}

struct Machine : InstallScenario {
  Status installerResult = 0;
  Machine() {
    AddPackage();
    fake.AddFile(L"C:\\setup\\csp\\Setup.exe");
    fake.onRun = [this](const std::wstring& commandLine) -> Status {
      return commandLine.find(L"msiexec.exe") != std::wstring::npos ? installerResult : 0;
    };
  }
};

struct Scenario {
  const char* name;
  const wchar_t* tail;  // a whole run with this command-line tail
  std::function<void(Machine&)> arrange;
  int browserAttempts = 0;  // instead: the completion dialog alone, OK pressed this often
  std::vector<std::string> ignored = {};  // "call#occurrence" whose failure this run ignores
  // Instead: this step alone, with the command-line tail's options and the packages'
  // publisher pinned (a build setting, which the whole run takes from the build).
  StepOutcome (*pinnedStep)(Machine&, const SetupOptions&) = nullptr;
};

constexpr wchar_t kPinned[] = L"Korvana Test Publisher";  // the fake's signer
StepOutcome PinnedPlugin(Machine& m, const SetupOptions& o) {
  return InstallPlugin(m.fake.platform(), m.locator, o, Boxes(m.fake.platform(), o.NoBoxes()), kPinned);
}
StepOutcome PinnedCsp(Machine& m, const SetupOptions& o) {
  return InstallCsp(m.fake.platform(), o, Boxes(m.fake.platform(), o.NoBoxes()), kPinned);
}

const Scenario kScenarios[] = {
    {"fresh install, silent", L"-silent", [](Machine&) {}},
    {"fresh install with a script", L"-vbscript C:\\s\\a.vbs", [](Machine&) {}, 0,
     {"RunAndWait#1"}},  // the script host's result means nothing to the run
    {"same version", L"", [](Machine& m) { m.AddInstalled(kNewCode, L"2.0.14"); }},
    {"same version, silent", L"-silent", [](Machine& m) { m.AddInstalled(kNewCode, L"2.0.14"); }, 0,
     {"IsWow64Process#2"}},  // only an installation needs it
    {"update", L"", [](Machine& m) { m.AddInstalled(kOtherCode, L"2.0.13", kFeatureAbsent); }},
    {"newer installed", L"", [](Machine& m) { m.AddInstalled(kOtherCode, L"2.1.0"); }},
    {"installer fails", L"", [](Machine& m) { m.installerResult = 1603; }},
    {"restart requested", L"", [](Machine& m) { m.installerResult = 3010; }},
    {"restart requested, silent", L"-silent", [](Machine& m) { m.installerResult = 3010; }},
    // The fake's user takes the configuration as it opens, then OK without the browser.
    {"CSP mode with the configuration dialog", L"-csp -selectDlg", [](Machine&) {}, 0,
     {"GetCurrentDirectory#1"}},  // the setup program is found beside the executable first
    // A log folder of the command line's that cannot be made or written ends the run.
    {"logs in a folder of the command line's", L"-silent -logdir C:\\logs\\setup", [](Machine&) {}},
    {"browser download succeeds", L"", [](Machine& m) {
       m.fake.libraries[kPatchLibrary] = 1;
       m.fake.registryValueTypes[std::wstring(kPatchKey) + L"\\SCHANNEL|Patch Dll"] = 2;  // REG_EXPAND_SZ
     }, 1},
    {"browser download fails, retried", L"", [](Machine& m) {
       m.fake.libraries[kPatchLibrary] = 0;  // a patch that fails is unloaded again
       m.fake.trustResults[std::wstring(kDownloadFolder) + L"\\Yandex.exe"] = -2146762496;
     }, 2},
    // The step alone has no log line naming the architecture: its first question makes
    // the installer's pattern, and the second a search's, which falls back.
    {"package pinned to its publisher", L"", [](Machine&) {}, 0, {"IsWow64Process#2"}, PinnedPlugin},
    {"package pinned, update", L"-silent",
     [](Machine& m) { m.AddInstalled(kOtherCode, L"2.0.13", kFeatureAbsent); }, 0,
     {"IsWow64Process#2"}, PinnedPlugin},
    // The executable's folder is the current directory: either finds the program.
    {"CSP's setup program pinned to its publisher", L"-silent", [](Machine&) {}, 0,
     {"GetModuleFileName#1", "GetCurrentDirectory#1"}, PinnedCsp},
};

// The completion dialog offering the browser (none here), with the TLS patch set up:
// OK, the worker's body run here and its messages handed to the dialog; the user
// closes whatever stays open. 0 when the dialog closed on the worker's success.
std::uint32_t OfferBrowser(FakePlatform& f, int attempts) {
  f.keys.insert({kPatchKey, std::wstring(kPatchKey) + L"\\SCHANNEL"});
  f.registryValues[std::wstring(kPatchKey) + L"\\SCHANNEL|Patch Dll"] = kPatchLibrary;
  bool rebootRequested = false, patchDone = false;
  std::uint32_t outcome = 1;
  CompletionDialog logic(f.platform(), false, rebootRequested, patchDone, L"https://download.test/b");
  FakeDialog dialog(logic);
  dialog.Init();
  for (int i = 0; i < attempts && !dialog.endedWith; ++i) {
    const std::size_t started = f.startedThreads.size();
    dialog.Press(1);
    if (f.startedThreads.size() == started) break;
    outcome = f.RunLastThread(dialog);
  }
  if (dialog.endedWith) return outcome;
  dialog.Press(2);
  return 1;
}

std::uint32_t RunScenario(const Scenario& s, Machine& m) {
  if (s.browserAttempts) return OfferBrowser(m.fake, s.browserAttempts);
  if (s.pinnedStep) {
    SetupOptions options;
    options.silent = std::wstring(s.tail) == L"-silent";
    const StepOutcome step = s.pinnedStep(m, options);
    return step.ended ? step.code : 0;
  }
  m.fake.processCommandLine = std::wstring(L"korvana-setup.exe ") + s.tail;
  return RunBootstrapper(m.fake.platform(), s.tail);
}

TEST(SeamFaults, EveryCallThatCanFailIsSurvived) {
  int points = 0;
  std::set<const FaultRow*> failed;
  for (const Scenario& s : kScenarios) {
    Machine recorded;
    s.arrange(recorded);
    const std::uint32_t baseline = RunScenario(s, recorded);
    const std::vector<std::string> calls = recorded.fake.calls;
    for (std::size_t k = 0; k < calls.size(); ++k) {
      const int occurrence = static_cast<int>(std::count(calls.begin(), calls.begin() + k + 1, calls[k]));
      const std::string site = calls[k] + "#" + std::to_string(occurrence);
      SCOPED_TRACE(std::string(s.name) + ": " + site + " fails");
      Machine m;
      s.arrange(m);
      const FaultRow* row = nullptr;  // stays null for a call that cannot fail
      m.fake.failAt = k;
      m.fake.failure = [&row](const std::string& call) {
        row = RowOf(call);
        EXPECT_TRUE(row) << "no row for " << call;
        return row ? row->value : 0;
      };
      m.fake.callLimit = 10 * calls.size();
      std::uint32_t outcome = 0;
      try {
        outcome = RunScenario(s, m);
      } catch (const CallLimitExceeded&) {
        ADD_FAILURE() << "no end after " << m.fake.callLimit << " calls";
        continue;
      }
      const FakePlatform& f = m.fake;
      ASSERT_GT(f.calls.size(), k);
      EXPECT_EQ(f.calls[k], calls[k]);  // the same run up to the fault
      EXPECT_EQ(f.openKeys, 0);
      EXPECT_EQ(f.closedMsiHandles, f.openMsiHandles);
      EXPECT_EQ(std::set<MsiToken>(f.closedHandles.begin(), f.closedHandles.end()).size(), f.closedHandles.size());
      EXPECT_TRUE(f.handleFaults.empty()) << f.handleFaults.front();
      for (const auto& open : f.openHandles) EXPECT_EQ(open.second, "library");  // kept on purpose
      // Files are written only into a download folder made in this run, below the
      // Windows folder's Temp, and deleted only there or among the source hashes.
      const auto inMadeFolder = [&f](const std::wstring& path) {
        return std::any_of(f.createdFolders.begin(), f.createdFolders.end(), [&](const auto& folder) {
          return folder.path.rfind(L"C:\\windows\\Temp\\korvana-", 0) == 0 &&
                 path.rfind(folder.path + L"\\", 0) == 0 &&
                 path.find(L'\\', folder.path.size() + 1) == std::wstring::npos;
        });
      };
      for (const std::wstring& path : f.deletedFiles) {
        EXPECT_TRUE(path.rfind(L"C:\\windows\\Installer\\SourceHash", 0) == 0 || inMadeFolder(path))
            << ::testing::PrintToString(path);
      }
      for (const auto& file : f.createdFiles) {
        if (file.access != 0x80000000) {  // GENERIC_READ: the hold on the file written
          EXPECT_TRUE(inMadeFolder(file.path)) << ::testing::PrintToString(file.path);
        }
      }
      // ... and neither they nor their folder outlive the attempt, unless deleting
      // them is what failed.
      if (calls[k] != "DeleteFile" && calls[k] != "RemoveDirectory") {
        for (const auto& file : f.fileContents) ADD_FAILURE() << "left: " << ::testing::PrintToString(file.first);
        for (const auto& entry : f.entries) {
          EXPECT_EQ(entry.name.find(L"\\Temp\\korvana-"), std::wstring::npos)
              << ::testing::PrintToString(entry.name);
        }
      }
      if (!row) continue;
      ++points;
      failed.insert(row);
      const int total = static_cast<int>(std::count(calls.begin(), calls.end(), calls[k]));
      if (Essential(*row, occurrence, total) && std::count(s.ignored.begin(), s.ignored.end(), site) == 0) {
        EXPECT_NE(outcome, 0u) << "success after an essential failure (" << baseline << " without)";
      }
    }
  }
  for (const FaultRow& row : kFaults) EXPECT_EQ(failed.count(&row), 1u) << row.call << " never failed";
  if (!HasFailure())
    std::printf("%d fault points in %d scenarios, all survived\n", points, static_cast<int>(std::size(kScenarios)));
}

}  // namespace
}  // namespace korvana::testing
