#include "install/installer_command.h"

#include <algorithm>
#include <optional>

#include <gtest/gtest.h>

#include "install_scenario.h"
#include "support/log_folder.h"

namespace korvana::testing {
namespace {

const std::wstring kMarker = L"HKCU\\Software\\NeedBstrReboot";
// A fresh installation's property, and the user's text.
PluginArguments Fresh(const std::wstring& userText = L"") {
  PluginArguments arguments;
  arguments.properties.Add(L" ADDNPSIVET=1");
  arguments.userText = userText;
  return arguments;
}
const PluginArguments kFreshArguments = Fresh();

struct RunOutcome {
  Status result;
  std::wstring logPath;
};

RunOutcome RunInstaller(InstallScenario& s, const PluginArguments& arguments = kFreshArguments,
                 SetupOptions options = {}, bool silent = false,
                 const std::wstring& installedCode = kOtherCode,
                 const std::wstring& pattern = L"sivetcom*x64*") {
  RunOutcome run{0, L""};
  options.silent = silent;
  run.result = RunPluginInstaller(s.fake.platform(), s.locator, options,
                                  Boxes(s.fake.platform(), silent), run.logPath, installedCode,
                                  pattern, arguments, /*publisher=*/L"");
  return run;
}

std::size_t CallIndex(const FakePlatform& fake, const std::string& name) {
  return static_cast<std::size_t>(
      std::find(fake.calls.begin(), fake.calls.end(), name) - fake.calls.begin());
}

// ---- MakeAndPrintTimeStamp and DeleteSourceHash ---------------------------------------------

TEST(MakeAndPrintTimeStamp, PadsEveryFieldAndWritesTheLine) {
  struct Row {
    LocalTime time;
    std::wstring expected;
  };
  const Row rows[] = {
      {{2026, 12, 7, 4, 36, 54}, L"2026-12-07-04-36-54"},
      {{2001, 1, 2, 0, 0, 0}, L"2001-01-02-00-00-00"},
      {{999, 10, 31, 23, 59, 59}, L"0999-10-31-23-59-59"},
  };
  for (const auto& row : rows) {
    InstallScenario s;
    s.fake.now = row.time;
    EXPECT_EQ(MakeAndPrintTimeStamp(s.fake.platform()), row.expected);
    EXPECT_EQ(s.fake.stdoutLines, std::vector<std::wstring>{row.expected});
  }
}

TEST(DeleteSourceHash, DeletesOnlyAProductsOwnFileInTheInstallerFolder) {
  struct Row {
    const char* name;
    std::optional<std::wstring> windowsDirectory;
    std::wstring code;
    std::vector<std::wstring> deleted;
  };
  const Row rows[] = {
      {"product code", std::wstring(L"C:\\windows"), kNewCode,
       {L"C:\\windows\\Installer\\SourceHash" + kNewCode}},
      {"no Windows directory", std::nullopt, kNewCode, {}},
      {"no product", std::wstring(L"C:\\windows"), L"", {}},
      {"code climbing out of the folder", std::wstring(L"C:\\windows"),
       L"\\..\\..\\system32\\kernel32.dll", {}},
      {"code with a forward slash", std::wstring(L"C:\\windows"), L"/../x", {}},
      {"code naming a drive", std::wstring(L"C:\\windows"), L"x:y", {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    InstallScenario s;
    s.fake.windowsDirectory = row.windowsDirectory;
    DeleteSourceHash(s.fake.platform(), row.code);
    EXPECT_EQ(s.fake.deletedFiles, row.deleted);
  }
}

// ---- The log ------------------------------------------------------------------------

TEST(RunPluginInstaller, NamesTheLogUnlessTheUserGaveOne) {
  struct Row {
    const char* name;
    std::optional<std::wstring> tmp;
    PluginArguments arguments;
    std::wstring expectedTail;  // after the quoted package path
    std::wstring expectedLog;
  };
  const std::wstring doubled = L"C:\\temp\\\\" + kPackageName + L"_" + kStamp + L".log";
  const Row rows[] = {
      {"default", std::wstring(L"C:\\temp"), kFreshArguments,
       L"/Lv \"" + kDefaultLog + L"\" REBOOT=R  /qb ADDNPSIVET=1", kDefaultLog},
      {"TMP ending in a backslash", std::wstring(L"C:\\temp\\"), kFreshArguments,
       L"/Lv \"" + doubled + L"\" REBOOT=R  /qb ADDNPSIVET=1", doubled},
      {"user's own /l*v", std::wstring(L"C:\\temp"), Fresh(L" /l*v C:\\x.log "),
       L" REBOOT=R  /qb ADDNPSIVET=1 /l*v C:\\x.log ", L""},
      {"user's own /L, TMP unset", std::nullopt, {{}, L" /qn /L*V C:\\x.log "},
       L" REBOOT=R  /qn /L*V C:\\x.log ", L""},
      {"/l inside a path", std::wstring(L"C:\\temp"), {{}, L" INSTALLDIR=D:/lib "},
       L" REBOOT=R  /qb INSTALLDIR=D:/lib ", L""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    InstallScenario s;
    s.AddPackage();
    if (row.tmp) s.fake.environment[L"TMP"] = *row.tmp;
    else s.fake.environment.erase(L"TMP");
    RunOutcome run = RunInstaller(s, row.arguments);
    EXPECT_EQ(run.result, 0u);
    EXPECT_EQ(run.logPath, row.expectedLog);
    ASSERT_EQ(s.fake.commandLines.size(), 1u);
    EXPECT_EQ(s.fake.commandLines[0], kMsiexecPrefix + row.expectedTail);
    const bool logged = !row.expectedLog.empty();
    // TMP is read, and the stamp line written, only when a log is named.
    EXPECT_EQ(s.fake.environmentReads.size(), logged ? 1u : 0u);
    EXPECT_EQ(s.fake.stdoutLines.size(), logged ? 1u : 0u);
    EXPECT_TRUE(s.fake.boxes.empty());
  }
}

TEST(RunPluginInstaller, PackageInASubfolderNamesLogAndSourceByFileNameOnly) {
  InstallScenario s;
  s.fake.AddFolder(L"C:\\setup");
  s.fake.AddFolder(L"C:\\setup\\x64");
  s.AddPackage(kNewCode, L"2.0.14", L"C:\\setup\\x64\\sivetcom-x64.msi");
  RunOutcome run = RunInstaller(s);
  EXPECT_EQ(run.logPath, L"C:\\temp\\sivetcom-x64.msi_" + kStamp + L".log");
  ASSERT_EQ(s.fake.commandLines.size(), 1u);
  EXPECT_EQ(s.fake.commandLines[0],
            L"\"C:\\windows\\system32\\msiexec.exe\" /i \"C:\\setup\\x64\\sivetcom-x64.msi\" /Lv \"" +
                run.logPath + L"\" REBOOT=R  /qb ADDNPSIVET=1");
  ASSERT_EQ(s.fake.sourceListCalls.size(), 2u);
  EXPECT_EQ(s.fake.sourceListCalls[1].value, L"sivetcom-x64.msi");
}

// ---- Failures -------------------------------------------------------------------------

TEST(RunPluginInstaller, FailuresShowTheirMessageUnlessSilentAndRunNothing) {
  struct Row {
    const char* name;
    void (*setUp)(InstallScenario&);
    std::uint16_t message;
    Status expected;
    bool logNamed;  // the log path is already set when the failure comes
  };
  const Row rows[] = {
      {"no package matches", [](InstallScenario& s) { s.fake.entries.clear(); },
       text::kPackageNotFound, 232, false},
      {"TMP unset", [](InstallScenario& s) { s.fake.environment.erase(L"TMP"); },
       text::kEnvironmentUnreadable, 203, false},
      {"TMP set but empty", [](InstallScenario& s) { s.fake.environment[L"TMP"] = L""; },
       text::kEnvironmentUnreadable, 203, false},
      {"system directory unreadable",
       [](InstallScenario& s) {
         s.fake.systemDirectory.reset();
         s.fake.systemDirectoryError = 5;
       },
       text::kSystemDirectoryUnreadable, 5, true},
      {"system directory unreadable without an error code",
       [](InstallScenario& s) {
         s.fake.systemDirectory.reset();
         s.fake.systemDirectoryError = 0;
       },
       text::kSystemDirectoryUnreadable, 2, true},
  };
  for (const auto& row : rows) {
    for (bool silent : {false, true}) {
      SCOPED_TRACE(std::string(row.name) + (silent ? ", silent" : ""));
      InstallScenario s;
      s.AddPackage();
      row.setUp(s);
      RunOutcome run{0, L"as the caller passed it"};
      SetupOptions options;
      options.silent = silent;
      run.result = RunPluginInstaller(s.fake.platform(), s.locator, options,
                                      Boxes(s.fake.platform(), silent), run.logPath, kOtherCode,
                                      L"sivetcom*x64*", kFreshArguments, /*publisher=*/L"");
      EXPECT_EQ(run.result, row.expected);
      if (silent) {
        EXPECT_TRUE(s.fake.boxes.empty());
      } else {
        s.ExpectOnlyErrorBox(row.message);
      }
      EXPECT_EQ(run.logPath, row.logNamed ? kDefaultLog : L"as the caller passed it");
      EXPECT_TRUE(s.fake.commandLines.empty());
      EXPECT_TRUE(s.fake.sourceListCalls.empty());
      EXPECT_TRUE(s.fake.registryCalls.empty());
    }
  }
}

// ---- The run and its result -------------------------------------------------------------

TEST(RunPluginInstaller, RestartRequestsBecomeSuccessPlusTheMarker) {
  struct Row {
    Status exitCode;
    Status expected;
    bool marker;
  };
  const Row rows[] = {
      {0, 0, false},       {1641, 0, true},       {3010, 0, true},     {3011, 0, true},
      {1602, 1602, false}, {1603, 1603, false},   {3012, 3012, false}, {2, 2, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.exitCode);
    InstallScenario s;
    s.AddPackage();
    s.fake.onRun = [&](const std::wstring&) { return row.exitCode; };
    RunOutcome run = RunInstaller(s);
    EXPECT_EQ(run.result, row.expected);
    EXPECT_TRUE(s.fake.boxes.empty());
    if (!row.marker) {
      EXPECT_TRUE(s.fake.registryCalls.empty());
      continue;
    }
    ASSERT_EQ(s.fake.registryCalls.size(), 1u);
    EXPECT_EQ(s.fake.registryCalls[0].what, "create");
    EXPECT_EQ(s.fake.registryCalls[0].key, kMarker);
    EXPECT_EQ(s.fake.registryCalls[0].access, 0x00020019u | 0x00020006u | 0x00000200u);
    EXPECT_EQ(s.fake.keys.count(kMarker), 1u);
    // Closed at once, after msiexec has ended.
    EXPECT_EQ(s.fake.openKeys, 0);
    EXPECT_LT(CallIndex(s.fake, "RunAndWait"), CallIndex(s.fake, "RegCreateKeyEx"));
    EXPECT_LT(CallIndex(s.fake, "RegCreateKeyEx"), CallIndex(s.fake, "RegCloseKey"));
  }
}

TEST(RunPluginInstaller, MarkerThatCannotBeCreatedStillMeansSuccess) {
  InstallScenario s;
  s.AddPackage();
  s.fake.failingOpens.insert(kMarker);
  s.fake.onRun = [](const std::wstring&) { return Status{3010}; };
  EXPECT_EQ(RunInstaller(s).result, 0u);
  EXPECT_EQ(s.fake.openKeys, 0);
  EXPECT_EQ(CallIndex(s.fake, "RegCloseKey"), s.fake.calls.size());  // nothing to close
}

TEST(RunPluginInstaller, ResetsTheSourceListBeforeTheRunEvenWithoutAProduct) {
  for (const std::wstring& installed : {kOtherCode, std::wstring()}) {
    InstallScenario s;
    s.AddPackage();
    EXPECT_EQ(RunInstaller(s, kFreshArguments, {}, false, installed).result, 0u);
    ASSERT_EQ(s.fake.sourceListCalls.size(), 2u);
    EXPECT_EQ(s.fake.sourceListCalls[0].what, "ClearAll");
    EXPECT_EQ(s.fake.sourceListCalls[0].product, installed);
    const auto& setInfo = s.fake.sourceListCalls[1];
    EXPECT_EQ(setInfo.what, "SetInfo");
    EXPECT_EQ(setInfo.product, installed);
    EXPECT_EQ(setInfo.context, 4u);
    EXPECT_EQ(setInfo.options, 0u);
    EXPECT_EQ(setInfo.property, L"PackageName");
    EXPECT_EQ(setInfo.value, kPackageName);
    EXPECT_LT(CallIndex(s.fake, "MsiSourceListSetInfo"), CallIndex(s.fake, "RunAndWait"));
  }
}

TEST(RunPluginInstaller, DeletesTheInstalledSourceHashOnXpAnd2003Only) {
  struct Row {
    std::uint32_t major, minor;
    bool deletes;
  };
  const Row rows[] = {{5, 1, true}, {5, 2, true}, {5, 0, false}, {6, 0, false},
                      {6, 1, false}, {10, 0, false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.major) + "." + std::to_string(row.minor));
    InstallScenario s;
    s.AddPackage();
    s.fake.osMajor = row.major;
    s.fake.osMinor = row.minor;
    RunInstaller(s);
    if (row.deletes) {
      EXPECT_EQ(s.fake.deletedFiles,
                std::vector<std::wstring>{L"C:\\windows\\Installer\\SourceHash" + kOtherCode});
      EXPECT_LT(CallIndex(s.fake, "DeleteFile"), CallIndex(s.fake, "RunAndWait"));
    } else {
      EXPECT_TRUE(s.fake.deletedFiles.empty());
    }
  }
}

TEST(RunPluginInstaller, SwitchesFollowTheUsersTextInFixedOrder) {
  struct Row {
    bool disableRm, skipInstallValidate;
    std::wstring expectedEnd;
  };
  const std::wstring user = L" /qb ADDNPSIVET=1 FOO=1 ";
  const Row rows[] = {
      {false, false, user},
      {true, false, user + L" MSIRESTARTMANAGERCONTROL=Disable"},
      {false, true, user + L" SKIPINSTALLVALIDATE=1"},
      {true, true, user + L" MSIRESTARTMANAGERCONTROL=Disable SKIPINSTALLVALIDATE=1"},
  };
  for (const auto& row : rows) {
    InstallScenario s;
    s.AddPackage();
    SetupOptions options;
    options.disableRm = row.disableRm;
    options.skipInstallValidate = row.skipInstallValidate;
    RunInstaller(s, Fresh(L" FOO=1 "), options);
    ASSERT_EQ(s.fake.commandLines.size(), 1u);
    EXPECT_EQ(s.fake.commandLines[0],
              kMsiexecPrefix + L"/Lv \"" + kDefaultLog + L"\" REBOOT=R " + row.expectedEnd);
  }
}

}  // namespace
}  // namespace korvana::testing
