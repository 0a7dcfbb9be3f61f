// The CSP's setup program: its command line to the character, the codes that let the
// plug-in follow, and the failure box.
#include "install/csp_installer.h"
#include "install/command_lines.h"

#include <gtest/gtest.h>

#include <optional>

#include "fake_platform.h"
#include "resources/text_ids.h"
#include "support/message_box.h"

namespace korvana::testing {
namespace {

const std::wstring kCspLog = L"C:\\temp\\csp_2026-12-07-04-36-54.log";
const std::wstring kSetup = L"C:\\setup\\csp\\Setup.exe";
const std::wstring kFixed = L"\"" + kSetup + L"\" -root -restartkorvctrl -disablerm -skipinstallvalidate ";
const std::wstring kLogSwitch = L"/Lv \"\"\"" + kCspLog + L"\"\"\" ";

struct Csp {
  FakePlatform fake;
  SetupOptions options;
  Csp() { fake.AddFile(kSetup); }
  // Runs the step as the run does: its failure box, under the CSP mode's caption, and its
  // code; 0 when the plug-in follows.
  const wchar_t* publisher = L"";  // pinned: the setup program is checked
  Status Run(const std::wstring& cspArgs = L"", bool silent = false, bool reinstall = false) {
    options.cspArgs = cspArgs;
    options.silent = silent;
    options.reinstall = reinstall;
    const Boxes boxes(fake.platform(), silent, text::kCspCaption);
    const StepOutcome outcome = InstallCsp(fake.platform(), options, boxes, publisher);
    boxes.ShowFailure(outcome);
    return outcome.ended ? outcome.code : 0;
  }
};

TEST(InstallCsp, CommandLineToTheCharacter) {
  const struct {
    const char* name;
    const wchar_t* kc;
    const wchar_t* lang;
    std::wstring args;
    bool silent, reinstall;
    std::optional<std::wstring> tmp;
    std::wstring expected;
  } cases[] = {
      {"kc1, rus, nothing else", L"kc1", L"rus", L"", false, false, L"C:\\temp",
       kFixed + L"-kc kc1 -lang rus -args \"/qb " + kLogSwitch + L"\" -noreboot"},
      {"no KC level, no language", L"", L"", L"", false, false, L"C:\\temp",
       kFixed + L"-args \"/qb " + kLogSwitch + L"\" -noreboot"},
      {"-KC and the dialog joined", L"xkc3", L"eng", L"", true, true, L"C:\\temp",
       kFixed + L"-kc xkc3 -lang eng -args \"/qb " + kLogSwitch + L"\" -noreboot -silent -reinstall"},
      {"TMP with a trailing backslash", L"", L"", L"", false, false, L"C:\\temp\\",
       kFixed + L"-args \"/qb /Lv \"\"\"C:\\temp\\\\csp_2026-12-07-04-36-54.log\"\"\" \" -noreboot"},
      {"own /l: no log, TMP never read", L"", L"", L"/l*v C:\\x.log ", false, false, std::nullopt,
       kFixed + L"-args \"/qb /l*v C:\\x.log \" -noreboot"},
      {"own /L", L"", L"", L"/L*v C:\\x.log ", false, false, L"C:\\temp",
       kFixed + L"-args \"/qb /L*v C:\\x.log \" -noreboot"},
      {"/lang inside a value counts as a log switch", L"", L"", L"P=/lang ", false, false, L"C:\\temp",
       kFixed + L"-args \"/qb P=/lang \" -noreboot"},
      {"/qn replaces /qb", L"", L"", L"/qn ", false, false, L"C:\\temp",
       kFixed + L"-args \"" + kLogSwitch + L"/qn \" -noreboot"},
      {"/Q in capitals does not", L"", L"", L"/Q ", false, false, L"C:\\temp",
       kFixed + L"-args \"/qb " + kLogSwitch + L"/Q \" -noreboot"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Csp csp;
    csp.options.kcLevel = c.kc;
    csp.options.lang = c.lang;
    if (c.tmp) csp.fake.environment[L"TMP"] = *c.tmp;
    else csp.fake.environment.erase(L"TMP");
    EXPECT_EQ(csp.Run(c.args, c.silent, c.reinstall), 0u);
    EXPECT_EQ(csp.fake.commandLines, std::vector<std::wstring>{c.expected});
    EXPECT_EQ(csp.fake.environmentReads.size(), HasLogSwitch(c.args) ? 0u : 1u);
  }
}

TEST(InstallCsp, ExitCodesThatLetThePlugInFollowAndTheFailureBox) {
  struct Case {
    Status exit;
    bool silent;
    bool logWritten;
    Status result;
    const wchar_t* box;  // nullptr: no box
    // Where the setup program is: beside the executable, in the current directory
    // (or only on PATH, which is never searched), or only a "csp" folder there.
    enum Where { kBeside, kCurrent, kNowhere, kFolderOnly } where = kBeside;
    // With the publisher pinned: what the check of the program finds.
    enum Pin { kUnpinned, kAccepted, kOtherSigner, kUnsigned, kHoldFails } pin = kUnpinned;
  };
  using W = Case;
  const Case cases[] = {
      {0, false, true, 0, nullptr},
      {3, false, false, 0, nullptr},
      {4, false, true, 0, nullptr},
      {1602, false, true, 0, nullptr},
      {3010, false, true, 3010,
       L"В процессе установки Корвана CSP возникла ошибка: 3010.\nInstall log: C:\\temp\\csp_2026-12-07-04-36-54.log"},
      {2, false, false, 2, L"В процессе установки Корвана CSP возникла ошибка: 2.\n"},  // the program's own 2
      {1603, true, true, 1603, nullptr},
      {0xC0000005, false, false, 0xC0000005, L"В процессе установки Корвана CSP возникла ошибка: 3221225477.\n"},
      {0, false, true, 0, nullptr, W::kCurrent},
      {0, false, false, 0, nullptr, W::kNowhere},  // the plug-in alone, nothing run
      {0, false, false, 2, L"В процессе установки Корвана CSP возникла ошибка: 2.\n", W::kFolderOnly},
      {0, true, false, 2, nullptr, W::kFolderOnly},
      // Pinned: the program found is held, checked, and started only when its signer is
      // the pin, its result then as before; a refusal is the check's result.
      {3010, false, true, 3010,
       L"В процессе установки Корвана CSP возникла ошибка: 3010.\nInstall log: C:\\temp\\csp_2026-12-07-04-36-54.log",
       W::kBeside, W::kAccepted},
      {0, false, true, 0, nullptr, W::kCurrent, W::kAccepted},
      {0, false, false, 0x800B0004, L"В процессе установки Корвана CSP возникла ошибка: 2148204548.\n",
       W::kBeside, W::kOtherSigner},  // TRUST_E_SUBJECT_NOT_TRUSTED
      {0, true, false, 0x800B0100, nullptr, W::kCurrent, W::kUnsigned},  // TRUST_E_NOSIGNATURE
      {0, false, false, 32, L"В процессе установки Корвана CSP возникла ошибка: 32.\n", W::kBeside,
       W::kHoldFails},  // ERROR_SHARING_VIOLATION
      {0, false, false, 0, nullptr, W::kNowhere, W::kAccepted},  // nothing to check
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.exit << " where " << c.where << " pin " << c.pin);
    Csp csp;
    csp.fake.entries.clear();
    csp.fake.currentDirectory = L"D:\\media";
    const std::wstring setup = c.where == c.kCurrent ? L"D:\\media\\csp\\Setup.exe" : kSetup;
    if (c.where == c.kBeside || c.where == c.kCurrent) csp.fake.AddFile(setup);
    if (c.where == c.kFolderOnly) csp.fake.AddFolder(L"D:\\media\\csp");
    if (c.pin != c.kUnpinned) csp.publisher = L"Korvana Test Publisher";
    if (c.pin == c.kOtherSigner) csp.fake.signer = L"Korvana Other Publisher";
    if (c.pin == c.kUnsigned) csp.fake.trustResults[setup] = static_cast<std::int32_t>(0x800B0100);
    if (c.pin == c.kHoldFails) csp.fake.lockedFiles.insert(setup);
    int heldDuringRun = -1;
    csp.fake.onRun = [&](const std::wstring&) {
      heldDuringRun = csp.fake.OpenCount("file");
      if (c.logWritten) csp.fake.AddFile(kCspLog);
      return c.exit;
    };
    EXPECT_EQ(csp.Run(L"", c.silent), c.result);
    const bool found = c.where == c.kBeside || c.where == c.kCurrent;
    const bool ran = found && (c.pin == c.kUnpinned || c.pin == c.kAccepted);
    ASSERT_EQ(csp.fake.commandLines.size(), ran ? 1u : 0u);
    if (ran) {
      // Started by its full path, as the program and quoted as the line's first token.
      EXPECT_EQ(csp.fake.applications[0], setup);
      EXPECT_EQ(csp.fake.commandLines[0].rfind(L"\"" + setup + L"\" -root ", 0), 0u);
      // Held while it ran when pinned; not even opened otherwise.
      EXPECT_EQ(heldDuringRun, c.pin == c.kAccepted ? 1 : 0);
    }
    // Checked when pinned and found (and held), the very file started.
    const bool checked = found && c.pin != c.kUnpinned && c.pin != c.kHoldFails;
    EXPECT_EQ(csp.fake.verifiedPaths, checked ? std::vector<std::wstring>{setup} : std::vector<std::wstring>{});
    EXPECT_EQ(csp.fake.Count("CreateFile"), found && c.pin != c.kUnpinned ? 1 : 0);
    EXPECT_EQ(csp.fake.OpenCount("file"), 0);
    if (c.box == nullptr) {
      EXPECT_TRUE(csp.fake.boxes.empty());
      continue;
    }
    ASSERT_EQ(csp.fake.boxes.size(), 1u);
    const RecordedBox& box = csp.fake.boxes[0];
    EXPECT_EQ(box.text, c.box);
    EXPECT_EQ(box.caption, L"Установка Корвана");  // the run's caption in CSP mode
    EXPECT_EQ(box.style, kErrorBox);
    EXPECT_EQ(box.owner, Owner::OwnerWindow);
  }
}

TEST(InstallCsp, UnreadableTmpStopsBeforeTheSetupProgram) {
  for (bool silent : {false, true}) {
    for (bool unset : {true, false}) {
      Csp csp;
      if (unset) csp.fake.environment.erase(L"TMP");
      else csp.fake.environment[L"TMP"] = L"";
      EXPECT_EQ(csp.Run(L"", silent), 203u);  // ERROR_ENVVAR_NOT_FOUND
      EXPECT_TRUE(csp.fake.commandLines.empty());
      ASSERT_EQ(csp.fake.boxes.size(), silent ? 0u : 1u);
      if (!silent) {
        EXPECT_EQ(csp.fake.boxes[0].text, L"Невозможно узнать значение переменной окружения.");
        EXPECT_EQ(csp.fake.boxes[0].caption, L"Ошибка");
      }
    }
  }
}

}  // namespace
}  // namespace korvana::testing
