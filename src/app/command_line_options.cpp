#include "app/command_line_options.h"

#include <vector>

#include "support/log_event.h"
#include "support/message_box.h"
#include "support/text.h"

namespace korvana {
namespace {

enum class Action {
  CspMode, Help, SelectDlg, Silent, Reinstall, NoRestart, CspArgs, Lang, KcLevel, SivetArgs,
  VbScript, DisableRm, SkipInstallValidate, RestartCodes, LogDir,
};

struct OptionRow {
  const wchar_t* argument;
  Action action;
  bool cspOnly;
  bool takesValue;
  bool exactCase;
};

// Tried in this order; the first row that matches acts.
const OptionRow kOptions[] = {
    {L"-csp", Action::CspMode, false, false, false},
    {L"-help", Action::Help, false, false, false},
    {L"--help", Action::Help, false, false, false},
    {L"/help", Action::Help, false, false, false},
    {L"-selectDlg", Action::SelectDlg, false, false, false},
    {L"-silent", Action::Silent, false, false, false},
    {L"-reinstall", Action::Reinstall, false, false, true},
    {L"-norestart", Action::NoRestart, false, false, false},
    {L"-noreboot", Action::NoRestart, false, false, false},
    {L"-CSPArgs", Action::CspArgs, true, true, false},
    {L"-Args", Action::CspArgs, true, true, false},
    {L"-Lang", Action::Lang, true, true, false},
    {L"-KC", Action::KcLevel, true, true, false},
    {L"-SivetArgs", Action::SivetArgs, false, true, false},
    {L"-vbscript", Action::VbScript, false, true, false},
    {L"-disablerm", Action::DisableRm, false, false, false},
    {L"/disablerm", Action::DisableRm, false, false, false},
    {L"-skipinstallvalidate", Action::SkipInstallValidate, false, false, false},
    {L"/skipinstallvalidate", Action::SkipInstallValidate, false, false, false},
    {L"-restartcodes", Action::RestartCodes, false, false, false},
    {L"-logdir", Action::LogDir, false, true, false},
};

const OptionRow* MatchOption(const std::wstring& argument, bool cspMode) {
  for (const OptionRow& row : kOptions) {
    if (row.cspOnly && !cspMode) continue;
    bool same = row.exactCase ? argument == row.argument : EqualsIgnoringAsciiCase(argument, row.argument);
    if (same) return &row;
  }
  return nullptr;
}

const wchar_t* const kHelpPieces[] = {
    L"Установщик Корвана ЭЦП Browser plug-in.\n",
    L"При запуске без параметров осуществляет установку с параметрами по умолчанию.\n",
    L"\n",
    L"Возможные параметры командной строки:\n",
    L"  -?\t\t\tвывести данную справку\n",
    (L"  -sivetargs \"<args>\"\tдополнительные параметры\n\t\t\tкомандной строки(<args>) для\n"
     L"\t\t\tвызова msiexec /i при установке\n\t\t\tпакета MSI плагина\n"),
    L"  -reinstall\t\t\tпереустановка продукта\n",
    L"  -silent\t\t\tподавить диалоговые окна\n\t\t\tбутстраппера\n",
    L"  -norestart\t\tподавить перезагрузку, если она\n\t\t\tбудет необходима\n",
};

const wchar_t* const kCspHelpPieces[] = {
    (L"  -args \"<args>\"\tдополнителные параметры\n\t\t\tкомандной строки (<args>) для\n"
     L"\t\t\tвызова msiexec /i при установке\n\t\t\tпакета MSI Корвана CSP\n"),
    (L"  -cspargs \"<args>\"\tдополнителные параметры\n\t\t\tкомандной строки (<args>) для\n"
     L"\t\t\tвызова msiexec /i при установке\n\t\t\tпакета MSI Корвана CSP\n"),
    L"  -selectDlg\tвывести диалог выбора конфигурации Корвана CSP\n",
    L"  -KC\t\t\tуровень KC Корвана CSP\n",
    L"  -lang\t\t\tязык Корвана CSP\n",
};

}  // namespace

std::wstring HelpText(bool cspMode) {
  std::wstring text;
  for (const wchar_t* piece : kHelpPieces) text += piece;
  if (cspMode) {
    for (const wchar_t* piece : kCspHelpPieces) text += piece;
  }
  return text;
}

void ShowHelp(Platform& platform, const SetupOptions& options) {
  // The help is shown even in a silent run: it is what the caller asked for. Where
  // nobody can see it, it would wait for ever.
  if (options.unattended) {
    LogEvent(platform, {L"box not shown (silent): help"});
    return;
  }
  platform.ui.ShowMessageBox(Owner::OwnerWindow, HelpText(options.cspMode), L"Справка", kInfoBox);
  LogEvent(platform, {L"help shown"});
}

CommandLineRequest ParseCommandLine(Platform& platform, SetupOptions& options) {
  std::optional<std::vector<std::wstring>> arguments =
      platform.commandLine.Split(platform.commandLine.GetProcessCommandLine());
  if (!arguments) return CommandLineRequest::Run;
  const std::vector<std::wstring>& args = *arguments;

  for (std::size_t i = 1; i < args.size(); ++i) {
    const OptionRow* row = MatchOption(args[i], options.cspMode);
    // The log says which argument it could not read, for the administrator whose
    // deployment got the help (or, unattended, 1639) instead of an installation.
    if (row == nullptr) {
      LogEvent(platform, {L"unknown argument: ", args[i]});
      return CommandLineRequest::Unreadable;
    }

    std::wstring value;
    if (row->takesValue) {
      // A value option standing last has nothing to take: the administrator left
      // something out, so the run stops rather than guessing.
      if (i + 1 >= args.size()) {
        LogEvent(platform, {L"no value after: ", args[i]});
        return CommandLineRequest::Unreadable;
      }
      value = args[++i];
    }
    switch (row->action) {
      case Action::CspMode: options.cspMode = true; break;
      case Action::Help: return CommandLineRequest::Help;
      case Action::SelectDlg: options.selectDlg = true; break;
      case Action::Silent: options.silent = true; break;
      case Action::Reinstall: options.reinstall = true; break;
      case Action::NoRestart: options.noRestart = true; break;
      case Action::CspArgs: options.cspArgs += value + L" "; break;
      case Action::Lang: options.lang += value; break;
      case Action::KcLevel: options.kcLevel += value; break;
      case Action::SivetArgs: options.sivetArgs += L" " + value + L" "; break;
      case Action::VbScript: options.vbscriptArgs += value; break;
      case Action::DisableRm: options.disableRm = true; break;
      case Action::SkipInstallValidate: options.skipInstallValidate = true; break;
      case Action::RestartCodes: options.restartCodes = true; break;
      // One folder: a later -logdir replaces an earlier one.
      case Action::LogDir: options.logDir = value; break;
    }
  }
  return CommandLineRequest::Run;
}

}  // namespace korvana
