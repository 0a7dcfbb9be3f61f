#include "app/command_line_options.h"

#include <gtest/gtest.h>

#include "fake_platform.h"

namespace korvana {
namespace {

using testing::FakePlatform;
using namespace testing::box;

struct ParseOutcome {
  CommandLineRequest request = CommandLineRequest::Run;
  bool helpShown = false;
  SetupOptions options;
  std::wstring helpText;
};

// Parses `args` (argument 0, the program, is added) the way the entry does.
ParseOutcome Parse(std::vector<std::wstring> args) {
  FakePlatform fake;
  args.insert(args.begin(), L"C:\\setup\\korvana-setup.exe");
  fake.commandLine.argv = std::optional<std::vector<std::wstring>>(args);
  ParseOutcome outcome;
  outcome.request = ParseCommandLine(fake.platform(), outcome.options);
  // Whatever stops the parse brings up the help, as the run does on a visible desktop.
  outcome.helpShown = outcome.request != CommandLineRequest::Run;
  if (outcome.helpShown) {
    ShowHelp(fake.platform(), outcome.options);
    EXPECT_EQ(fake.ui.boxes.size(), 1u);
    if (!fake.ui.boxes.empty()) {
      const auto& box = fake.ui.boxes[0];
      EXPECT_EQ(box.caption, L"Справка");
      EXPECT_EQ(box.style, kInformationBoxStyle);
      EXPECT_EQ(box.owner, Owner::OwnerWindow);
      outcome.helpText = box.text;
    }
  }
  if (!outcome.helpShown) {
    EXPECT_TRUE(fake.ui.boxes.empty());
  }
  return outcome;
}

TEST(ParseCommandLine, HelpAndUnrecognisedArgumentsShowTheHelpAndExitZero) {
  constexpr auto kHelp = CommandLineRequest::Help;
  constexpr auto kUnreadable = CommandLineRequest::Unreadable;
  const std::vector<std::pair<std::vector<std::wstring>, CommandLineRequest>> cases = {
      {{L"-help"}, kHelp}, {{L"--help"}, kHelp}, {{L"/help"}, kHelp}, {{L"-HELP"}, kHelp},
      {{L"-?"}, kUnreadable}, {{L"/?"}, kUnreadable}, {{L"/silent"}, kUnreadable},
      {{L"--silent"}, kUnreadable}, {{L""}, kUnreadable}, {{L"-Reinstall"}, kUnreadable},
      {{L"-REINSTALL"}, kUnreadable}, {{L"-CSPArgs", L"A=1"}, kUnreadable},
      {{L"-Args", L"x"}, kUnreadable}, {{L"-KC", L"kc1"}, kUnreadable},
      {{L"-Lang", L"rus"}, kUnreadable}, {{L"-silent", L"-help"}, kHelp},
      {{L"/csp"}, kUnreadable}, {{L"-silent", L"unknown"}, kUnreadable},
      {{L"-selectdlg", L"-x"}, kUnreadable}, {{L"-restartcodes", L"-help"}, kHelp},
      {{L"-logdir"}, kUnreadable}, {{L"/restartcodes"}, kUnreadable},
  };
  for (const auto& [args, request] : cases) {
    SCOPED_TRACE(std::string(args[0].begin(), args[0].end()));
    const ParseOutcome outcome = Parse(args);
    EXPECT_TRUE(outcome.helpShown);
    EXPECT_EQ(outcome.request, request);
  }
}

TEST(ParseCommandLine, FlagsMatchWithoutRegardToCaseExceptReinstall) {
  struct Case {
    std::wstring arg;
    bool SetupOptions::*flag;
  };
  const Case cases[] = {
      {L"-csp", &SetupOptions::cspMode},          {L"-CSP", &SetupOptions::cspMode},
      {L"-selectDlg", &SetupOptions::selectDlg},  {L"-SELECTDLG", &SetupOptions::selectDlg},
      {L"-silent", &SetupOptions::silent},        {L"-Silent", &SetupOptions::silent},
      {L"-reinstall", &SetupOptions::reinstall},  {L"-norestart", &SetupOptions::noRestart},
      {L"-NoReboot", &SetupOptions::noRestart},   {L"-disablerm", &SetupOptions::disableRm},
      {L"/DisableRM", &SetupOptions::disableRm},
      {L"-skipinstallvalidate", &SetupOptions::skipInstallValidate},
      {L"/SKIPINSTALLVALIDATE", &SetupOptions::skipInstallValidate},
      {L"-restartcodes", &SetupOptions::restartCodes}, {L"-RestartCodes", &SetupOptions::restartCodes},
  };
  for (const Case& c : cases) {
    ParseOutcome outcome = Parse({c.arg});
    EXPECT_FALSE(outcome.helpShown);
    EXPECT_TRUE(outcome.options.*c.flag) << std::string(c.arg.begin(), c.arg.end());
  }
}

TEST(ParseCommandLine, ValueOptionsAppendTheirValuesAsTheyCome) {
  struct Case {
    std::vector<std::wstring> args;
    std::wstring SetupOptions::*field;
    std::wstring expected;
  };
  const Case cases[] = {
      {{L"-csp", L"-CSPArgs", L"A=1"}, &SetupOptions::cspArgs, L"A=1 "},
      {{L"-csp", L"-CSPArgs", L"A=1", L"-Args", L"B=2"}, &SetupOptions::cspArgs, L"A=1 B=2 "},
      {{L"-SivetArgs", L"X=1"}, &SetupOptions::sivetArgs, L" X=1 "},
      {{L"-SivetArgs", L"X=1", L"-sivetargs", L"Y=2"}, &SetupOptions::sivetArgs, L" X=1  Y=2 "},
      // A value is taken whatever it looks like, even an option.
      {{L"-SivetArgs", L"-silent"}, &SetupOptions::sivetArgs, L" -silent "},
      {{L"-vbscript", L"C:\\my scripts\\a.vbs"}, &SetupOptions::vbscriptArgs, L"C:\\my scripts\\a.vbs"},
      {{L"-vbscript", L"a", L"-vbscript", L"b"}, &SetupOptions::vbscriptArgs, L"ab"},
      {{L"-vbscript", L""}, &SetupOptions::vbscriptArgs, L""},
      {{L"-csp", L"-KC", L"kc1", L"-kc", L"kc2"}, &SetupOptions::kcLevel, L"kc1kc2"},
      {{L"-csp", L"-Lang", L"rus", L"-LANG", L"eng"}, &SetupOptions::lang, L"ruseng"},
      // One folder: the last -logdir is the one.
      {{L"-LogDir", L"a", L"-logdir", L"C:\\logs"}, &SetupOptions::logDir, L"C:\\logs"},
  };
  for (const Case& c : cases) {
    ParseOutcome outcome = Parse(c.args);
    EXPECT_FALSE(outcome.helpShown);
    EXPECT_EQ(outcome.options.*c.field, c.expected);
  }
  EXPECT_FALSE(Parse({L"-SivetArgs", L"-silent"}).options.silent);
}

TEST(ParseCommandLine, AValueOptionStandingLastShowsTheHelp) {
  for (const auto& args : std::vector<std::vector<std::wstring>>{
           {L"-SivetArgs"}, {L"-silent", L"-vbscript"}, {L"-csp", L"-KC"}, {L"-csp", L"-CSPArgs"}}) {
    EXPECT_TRUE(Parse(args).helpShown);
  }
}

TEST(ParseCommandLine, AFailedSplitLeavesTheDefaults) {
  FakePlatform fake;
  fake.commandLine.argv = std::optional<std::vector<std::wstring>>(std::nullopt);
  SetupOptions options;
  ParseCommandLine(fake.platform(), options);
  EXPECT_FALSE(options.silent);
  EXPECT_TRUE(fake.ui.boxes.empty());
}

TEST(ParseCommandLine, ArgumentZeroIsNeverExamined) {
  EXPECT_FALSE(Parse({}).helpShown);
}

TEST(HelpText, HasNinePiecesAndFiveMoreInCspMode) {
  const std::wstring base =
      L"Установщик Корвана ЭЦП Browser plug-in.\n"
      L"При запуске без параметров осуществляет установку с параметрами по умолчанию.\n"
      L"\n"
      L"Возможные параметры командной строки:\n"
      L"  -?\t\t\tвывести данную справку\n"
      L"  -sivetargs \"<args>\"\tдополнительные параметры\n\t\t\tкомандной строки(<args>) для\n\t\t\tвызова msiexec /i при установке\n\t\t\tпакета MSI плагина\n"
      L"  -reinstall\t\t\tпереустановка продукта\n"
      L"  -silent\t\t\tподавить диалоговые окна\n\t\t\tбутстраппера\n"
      L"  -norestart\t\tподавить перезагрузку, если она\n\t\t\tбудет необходима\n";
  const std::wstring csp =
      L"  -args \"<args>\"\tдополнителные параметры\n\t\t\tкомандной строки (<args>) для\n\t\t\tвызова msiexec /i при установке\n\t\t\tпакета MSI Корвана CSP\n"
      L"  -cspargs \"<args>\"\tдополнителные параметры\n\t\t\tкомандной строки (<args>) для\n\t\t\tвызова msiexec /i при установке\n\t\t\tпакета MSI Корвана CSP\n"
      L"  -selectDlg\tвывести диалог выбора конфигурации Корвана CSP\n"
      L"  -KC\t\t\tуровень KC Корвана CSP\n"
      L"  -lang\t\t\tязык Корвана CSP\n";
  EXPECT_EQ(HelpText(false), base);
  EXPECT_EQ(HelpText(true), base + csp);
  // The CSP lines appear only when "-csp" came before the help option.
  EXPECT_EQ(Parse({L"-csp", L"-help"}).helpText, base + csp);
  EXPECT_EQ(Parse({L"-help", L"-csp"}).helpText, base);
  EXPECT_EQ(Parse({L"-csp", L"-bogus"}).helpText, base + csp);
}

}  // namespace
}  // namespace korvana
