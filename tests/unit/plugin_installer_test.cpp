#include "install/plugin_installer.h"

#include <algorithm>
#include <optional>

#include <gtest/gtest.h>

#include "install_scenario.h"

namespace korvana::testing {
namespace {

const std::wstring kSameProduct =
    L" COMPADDLOCAL={316A4D11-D027-4C52-86B6-54D1FBC148E3}";
const std::wstring kReinstall = L" REINSTALL=ALL REINSTALLMODE=vomus";

struct Outcome {
  Status result;
  std::wstring logPath;     // the log the failure box names
  std::uint16_t failureBox;  // the failure box the run must still show
};

Outcome Install(InstallScenario& s, bool silent = false, bool reinstall = false,
                const std::wstring& userText = L"", SetupOptions options = {},
                const wchar_t* publisher = L"") {
  options.silent = silent;
  options.reinstall = reinstall;
  options.sivetArgs = userText;
  const StepOutcome step =
      InstallPlugin(s.fake.platform(), s.locator, options, Boxes(s.fake.platform(), silent), publisher);
  return {step.ended ? step.code : 0, step.logPath, step.failureText};
}

const std::wstring kPublisher = L"Korvana Test Publisher";  // the fake's signer
// The run's log line of the package's check.
std::wstring CheckLine(const FakePlatform& fake) {
  for (const std::wstring& line : fake.logLines)
    if (line.rfind(L"package check: ", 0) == 0) return line;
  return L"<none>";
}

// The argument text msiexec got after the fixed log and REBOOT=R pieces.
std::wstring PropertiesOf(const InstallScenario& s) {
  const std::wstring head = kMsiexecPrefix + L"/Lv \"" + kDefaultLog + L"\" REBOOT=R ";
  if (s.fake.commandLines.size() != 1)
    return L"<ran " + std::to_wstring(s.fake.commandLines.size()) + L" times>";
  const std::wstring& line = s.fake.commandLines[0];
  if (line.compare(0, head.size(), head) != 0) return L"<unexpected head> " + line;
  return line.substr(head.size());
}

TEST(InstallPlugin, FreshInstallationRunsTheExactCommandLine) {
  InstallScenario s;
  s.AddPackage();
  Outcome out = Install(s);
  EXPECT_EQ(out.result, 0u);
  ASSERT_EQ(s.fake.commandLines.size(), 1u);
  EXPECT_EQ(s.fake.commandLines[0],
            L"\"C:\\windows\\system32\\msiexec.exe\" /i \"C:\\setup\\sivetcom-x64-rus.msi\" /Lv "
            L"\"C:\\temp\\sivetcom-x64-rus.msi_2026-12-07-04-36-54.log\" REBOOT=R  /qb "
            L"ADDNPSIVET=1");
  EXPECT_TRUE(s.fake.boxes.empty());
  EXPECT_EQ(s.fake.stdoutLines, std::vector<std::wstring>{kStamp});
  // A fresh installation has no installed product whose cached hash would matter.
  EXPECT_TRUE(s.fake.deletedFiles.empty());
}

TEST(InstallPlugin, ChoosesThePropertiesForEachSituation) {
  struct Row {
    const char* name;
    std::wstring installedCode;  // empty: nothing related installed
    int featureState;
    std::wstring userText;
    std::wstring expected;  // properties and user text, as msiexec gets them
  };
  const std::wstring lowerNewCode = L"{aaaaaaaa-1111-2222-3333-444444444444}";
  const Row rows[] = {
      {"nothing installed", L"", kFeatureLocal, L"", L" /qb ADDNPSIVET=1"},
      {"same code, feature present", kNewCode, kFeatureLocal, L"", L" /qb" + kReinstall},
      {"same code, feature absent", kNewCode, kFeatureAbsent, L"",
       L" /qb" + kSameProduct + kReinstall},
      {"other code, feature absent", kOtherCode, kFeatureAbsent, L"", L" /qb ADDLOCAL=ALL"},
      {"other code, feature present", kOtherCode, kFeatureLocal, L"", L" /qb"},
      {"code differing only in case is another code", lowerNewCode, kFeatureAbsent, L"",
       L" /qb ADDLOCAL=ALL"},
      {"user text with /qn", L"", kFeatureLocal, L" /qn ", L" ADDNPSIVET=1 /qn "},
      {"user text with /quiet", kNewCode, kFeatureAbsent, L" /quiet ",
       kSameProduct + kReinstall + L" /quiet "},
      {"upper-case /QN does not count", L"", kFeatureLocal, L" /QN ",
       L" /qb ADDNPSIVET=1 /QN "},
      {"user text stays behind every property", kOtherCode, kFeatureAbsent, L" A=1  B=2 ",
       L" /qb ADDLOCAL=ALL A=1  B=2 "},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    InstallScenario s;
    s.AddPackage(kNewCode, L"2.0.14");
    // The same code is a reinstall of one version; another code is an older one.
    if (!row.installedCode.empty())
      s.AddInstalled(row.installedCode, row.installedCode == kNewCode ? L"2.0.14" : L"2.0.13",
                     row.featureState);
    Outcome out = Install(s, /*silent=*/false, /*reinstall=*/true, row.userText);
    EXPECT_EQ(out.result, 0u);
    EXPECT_EQ(PropertiesOf(s), row.expected);
    // The new product's source hash goes whenever a product is installed, on any
    // Windows; nothing is deleted for a fresh installation.
    const std::vector<std::wstring> expectedDeleted =
        row.installedCode.empty()
            ? std::vector<std::wstring>{}
            : std::vector<std::wstring>{L"C:\\windows\\Installer\\SourceHash" + kNewCode};
    EXPECT_EQ(s.fake.deletedFiles, expectedDeleted);
  }
}

TEST(InstallPlugin, ProductNotInTheInstalledStateIsAFreshInstallation) {
  for (int state : {1 /*advertised*/, -1 /*unknown*/, 2 /*absent*/}) {
    SCOPED_TRACE(state);
    InstallScenario s;
    s.AddPackage();
    s.AddInstalled(kOtherCode, L"9.9", kFeatureAbsent, state);
    EXPECT_EQ(Install(s).result, 0u);
    EXPECT_EQ(PropertiesOf(s), L" /qb ADDNPSIVET=1");
    EXPECT_TRUE(s.fake.boxes.empty());  // no version question either
    EXPECT_TRUE(s.fake.deletedFiles.empty());
  }
}

TEST(InstallPlugin, DecidesByOutcomeReinstallAndSilent) {
  enum Expect { Runs, NoRun };
  struct Row {
    const char* name;
    std::wstring installedVersion;  // the package is 2.0.14
    bool reinstall, silent;
    std::vector<int> answers;
    Status expected;
    Expect runs;
    std::vector<std::uint16_t> boxes;  // owner-window boxes, by text
  };
  const Row rows[] = {
      {"same, silent", L"2.0.14", false, true, {}, 0, NoRun, {}},
      {"same, asked, No", L"2.0.14", false, false, {7}, 1602, NoRun, {text::kReinstallQuestion}},
      {"same, asked, box failed", L"2.0.14", false, false, {0}, 1602, NoRun,
       {text::kReinstallQuestion}},
      {"same, asked, Yes", L"2.0.14", false, false, {6}, 0, Runs, {text::kReinstallQuestion}},
      {"same, -reinstall", L"2.0.14", true, false, {}, 0, Runs, {}},
      {"same, -reinstall, silent", L"2.0.14", true, true, {}, 0, Runs, {}},
      {"newer installed", L"2.1", false, false, {}, 1638, NoRun, {text::kNewerInstalled}},
      {"newer installed, -reinstall", L"2.1", true, false, {}, 1638, NoRun,
       {text::kNewerInstalled}},
      {"newer installed, silent", L"2.1", false, true, {}, 0, Runs, {}},
      {"update, asked, Yes", L"2.0.13", false, false, {6}, 0, Runs, {}},
      {"update, asked, No", L"2.0.13", false, false, {7}, 1, NoRun, {}},
      {"update, asked, any other answer", L"2.0.13", false, false, {1}, 0, Runs, {}},
      {"update, asked, box failed", L"2.0.13", false, false, {0}, 0, Runs, {}},
      {"update, -reinstall, No", L"2.0.13", true, false, {7}, 1, NoRun, {}},
      {"update, silent", L"2.0.13", false, true, {7}, 0, Runs, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    InstallScenario s;
    s.AddPackage(kNewCode, L"2.0.14");
    s.AddInstalled(kNewCode, row.installedVersion);
    s.fake.boxAnswers.assign(row.answers.begin(), row.answers.end());
    Outcome out = Install(s, row.silent, row.reinstall);
    EXPECT_EQ(out.result, row.expected);
    EXPECT_EQ(s.fake.commandLines.size(), row.runs == Runs ? 1u : 0u);
    if (row.runs == NoRun) {
      EXPECT_TRUE(s.fake.deletedFiles.empty());
      EXPECT_TRUE(out.logPath.empty());
    }
    const auto owned = s.OwnedBoxes();
    ASSERT_EQ(owned.size(), row.boxes.size());
    for (std::size_t i = 0; i < owned.size(); ++i) {
      const bool question = row.boxes[i] == text::kReinstallQuestion;
      EXPECT_EQ(owned[i].text, s.Text(row.boxes[i]));
      EXPECT_EQ(owned[i].caption, s.Text(text::kUpdateCaption));
      EXPECT_EQ(owned[i].style, question ? 0x00050004u : 0x00050040u);
    }
    // The update question alone has no owner window.
    const bool update = row.installedVersion == L"2.0.13" && !row.silent;
    EXPECT_EQ(s.fake.boxes.size(), owned.size() + (update ? 1 : 0));
  }
}

TEST(InstallPlugin, TheUpdateQuestion) {
  InstallScenario s;
  s.AddPackage(kNewCode, L"2.0.14");
  s.AddInstalled(kNewCode, L"2.0.13");
  EXPECT_EQ(Install(s).result, 0u);
  ASSERT_EQ(s.fake.boxes.size(), 1u);
  EXPECT_EQ(s.fake.boxes[0].owner, Owner::None);
  EXPECT_EQ(s.fake.boxes[0].text,
            L"Будет произведено обновление Korvana plug-in 2.0.13 до версии 2.0.14. Обновить?");
  EXPECT_EQ(s.fake.boxes[0].caption, L"Обновление");
  EXPECT_EQ(s.fake.boxes[0].style, 0x00050004u);
}

TEST(InstallPlugin, FailuresBeforeTheRunKeepTheirStatus) {
  struct Row {
    const char* name;
    void (*setUp)(InstallScenario&);
    std::optional<std::uint16_t> ownMessage;  // the box of this step, if any
    Status expected;
    const wchar_t* publisher = L"";  // pinned: the package is checked
    const wchar_t* check = L"<none>";  // the check's log line
  };
  const Row rows[] = {
      {"no package at all", [](InstallScenario&) {}, text::kProductCodeUnreadable, 232},
      {"package cannot be opened",
       [](InstallScenario& s) {
         s.AddPackage();
         s.fake.packages[kPackagePath].openStatus = 1620;
       },
       text::kProductCodeUnreadable, 1620},
      // Undefined properties read as empty: such a package is refused as invalid.
      {"package without a ProductCode",
       [](InstallScenario& s) {
         s.AddPackage();
         s.fake.packages[kPackagePath].properties.erase(L"ProductCode");
       },
       text::kProductCodeUnreadable, 1620},
      {"package without a ProductVersion, a product installed",
       [](InstallScenario& s) {
         s.AddPackage();
         s.fake.packages[kPackagePath].properties.erase(L"ProductVersion");
         s.AddInstalled(kOtherCode, L"2.0.13");
       },
       std::nullopt, 1620},
      // Identity found by "*.msi", but the installer's pattern wants "sivetcom".
      {"package not named for the installer",
       [](InstallScenario& s) { s.AddPackage(kNewCode, L"2.0.14", L"C:\\setup\\plugin-x64.msi"); },
       text::kPackageNotFound, 232},
      {"installed version unreadable",
       [](InstallScenario& s) {
         s.AddPackage();
         s.AddInstalled(kOtherCode, L"2.0.13");
         s.fake.productInfoLengthStatus = 1605;
       },
       std::nullopt, 1},
      {"TMP unset",
       [](InstallScenario& s) {
         s.AddPackage();
         s.fake.environment.erase(L"TMP");
       },
       text::kEnvironmentUnreadable, 203},
      // A pinned publisher: the package msiexec would get is refused for its signature.
      {"package signed by another publisher",
       [](InstallScenario& s) {
         s.AddPackage();
         s.fake.signer = L"Korvana Other Publisher";
       },
       std::nullopt, 0x800B0004, kPublisher.c_str(),  // TRUST_E_SUBJECT_NOT_TRUSTED
       L"package check: C:\\setup\\sivetcom-x64-rus.msi: 0x800B0004, signer Korvana Other Publisher"},
      {"signer differing from the pin in case only",
       [](InstallScenario& s) {
         s.AddPackage();
         s.fake.signer = L"korvana test publisher";
       },
       std::nullopt, 0x800B0004, kPublisher.c_str(),
       L"package check: C:\\setup\\sivetcom-x64-rus.msi: 0x800B0004, signer korvana test publisher"},
      {"unsigned package",
       [](InstallScenario& s) {
         s.AddPackage();
         s.fake.trustResults[kPackagePath] = static_cast<std::int32_t>(0x800B0100);
         s.fake.signer = L"";
       },
       std::nullopt, 0x800B0100, kPublisher.c_str(),  // TRUST_E_NOSIGNATURE
       L"package check: C:\\setup\\sivetcom-x64-rus.msi: 0x800B0100, signer "},
      {"package that cannot be held",
       [](InstallScenario& s) {
         s.AddPackage();
         s.fake.lockedFiles.insert(kPackagePath);
       },
       std::nullopt, 32, kPublisher.c_str(),  // ERROR_SHARING_VIOLATION
       L"package check: C:\\setup\\sivetcom-x64-rus.msi: 0x00000020, not held"},
  };
  for (const auto& row : rows) {
    for (bool silent : {false, true}) {
      SCOPED_TRACE(std::string(row.name) + (silent ? ", silent" : ""));
      InstallScenario s;
      row.setUp(s);
      Outcome out = Install(s, silent, false, L"", {}, row.publisher);
      EXPECT_EQ(out.result, row.expected);
      // The run's failure box for the plug-in, whichever step failed.
      EXPECT_EQ(out.failureBox, text::kPluginFailed);
      EXPECT_EQ(CheckLine(s.fake), row.check);
      EXPECT_EQ(s.fake.OpenCount("file"), 0);
      EXPECT_TRUE(s.fake.commandLines.empty());
      if (silent) {
        EXPECT_TRUE(s.fake.boxes.empty());
      } else if (row.ownMessage) {
        s.ExpectOnlyErrorBox(*row.ownMessage);
      } else {
        EXPECT_TRUE(s.OwnedBoxes().empty());
      }
    }
  }
}

TEST(InstallPlugin, RunsThePackageOfThisProcessArchitecture) {
  InstallScenario s;
  s.fake.isWow64 = false;
  s.AddPackage(kNewCode, L"2.0.14", L"C:\\setup\\sivetcom-x64.msi");
  s.AddPackage(kNewCode, L"2.0.14", L"C:\\setup\\sivetcom-win32.msi");
  EXPECT_EQ(Install(s).result, 0u);
  ASSERT_EQ(s.fake.commandLines.size(), 1u);
  EXPECT_NE(s.fake.commandLines[0].find(L"/i \"C:\\setup\\sivetcom-win32.msi\""), std::wstring::npos);
}

TEST(InstallPlugin, APinnedPackageIsHeldFromItsCheckUntilMsiexecHasEnded) {
  for (const std::wstring& publisher : {kPublisher, std::wstring()}) {
    SCOPED_TRACE(publisher.empty() ? "no pin" : "pinned");
    InstallScenario s;
    // Both match "*.msi" for the identity; the installer's pattern takes the x64 one.
    s.AddPackage(kNewCode, L"2.0.14", L"C:\\setup\\sivetcom-win32.msi");
    s.AddPackage(kNewCode, L"2.0.14", L"C:\\setup\\sivetcom-x64.msi");
    int heldDuringRun = -1;
    s.fake.onRun = [&s, &heldDuringRun](const std::wstring&) {
      heldDuringRun = s.fake.OpenCount("file");
      return Status{0};
    };
    EXPECT_EQ(Install(s, false, false, L"", {}, publisher.c_str()).result, 0u);
    ASSERT_EQ(s.fake.commandLines.size(), 1u);
    EXPECT_NE(s.fake.commandLines[0].find(L"/i \"C:\\setup\\sivetcom-x64.msi\""), std::wstring::npos);
    if (publisher.empty()) {  // as before the setting existed: nothing opened or checked
      EXPECT_EQ(s.fake.Count("CreateFile") + s.fake.Count("WinVerifyTrust"), 0);
      EXPECT_EQ(CheckLine(s.fake), L"<none>");
      continue;
    }
    // Opened to read, others may only read; checked; msiexec run; closed after it.
    ASSERT_EQ(s.fake.createdFiles.size(), 1u);
    const auto& hold = s.fake.createdFiles[0];
    EXPECT_EQ(hold.path, L"C:\\setup\\sivetcom-x64.msi");
    EXPECT_EQ(std::vector<std::uint32_t>({hold.access, hold.share, hold.disposition}),
              std::vector<std::uint32_t>({0x80000000, 1, 3}));
    EXPECT_EQ(s.fake.verifiedPaths, std::vector<std::wstring>{hold.path});
    const auto& calls = s.fake.calls;
    const auto at = [&calls](const char* name) {
      return std::find(calls.begin(), calls.end(), name) - calls.begin();
    };
    EXPECT_LT(at("CreateFile"), at("WinVerifyTrust"));
    EXPECT_LT(at("WinVerifyTrust"), at("RunAndWait"));
    const auto closed = calls.rend() - std::find(calls.rbegin(), calls.rend(), "CloseFile") - 1;
    EXPECT_GT(closed, at("RunAndWait"));
    EXPECT_EQ(heldDuringRun, 1);
    EXPECT_EQ(s.fake.OpenCount("file"), 0);
    EXPECT_EQ(CheckLine(s.fake),
              L"package check: C:\\setup\\sivetcom-x64.msi: 0x00000000, signer Korvana Test Publisher");
  }
}

TEST(InstallPlugin, XpAlsoDropsTheInstalledProductsSourceHash) {
  InstallScenario s;
  s.fake.osMajor = 5;
  s.fake.osMinor = 1;
  s.AddPackage(kNewCode, L"2.0.14");
  s.AddInstalled(kOtherCode, L"2.0.13");
  EXPECT_EQ(Install(s, /*silent=*/true).result, 0u);
  EXPECT_EQ(s.fake.deletedFiles,
            (std::vector<std::wstring>{L"C:\\windows\\Installer\\SourceHash" + kNewCode,
                                       L"C:\\windows\\Installer\\SourceHash" + kOtherCode}));
}

}  // namespace
}  // namespace korvana::testing
