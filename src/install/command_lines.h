// The two installer command lines, each composed left to right from a record of its
// pieces, so the text reads in the order the code does.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace korvana {

// Whether installer arguments carry a log switch of the user's own: "/l" or "/L"
// anywhere, as a plain case-sensitive substring.
inline bool HasLogSwitch(std::wstring_view arguments) {
  return arguments.find(L"/l") != std::wstring_view::npos ||
         arguments.find(L"/L") != std::wstring_view::npos;
}

// The interface level the installers get unless the user's text names one of its own
// ("/q" anywhere, case-sensitive): a basic interface where someone may be watching, none
// where nobody can answer an installer's error box.
inline const wchar_t* DefaultUiLevel(bool unattended) { return unattended ? L"/qn" : L"/qb"; }

// The properties an installation decision puts on msiexec's line, each with its leading
// blank, in the order they go there; at most two.
struct InstallerProperties {
  const wchar_t* items[2] = {};
  std::size_t count = 0;
  void Add(const wchar_t* property) { items[count++] = property; }
};

// The pieces are views of texts the caller keeps for as long as the line is composed.
struct MsiexecLine {
  std::wstring_view systemDirectory;  // where msiexec.exe is
  std::wstring package;               // full path
  std::wstring_view log;              // our verbose log; empty when the user brings a log switch
  const wchar_t* uiLevel = L"/qb";
  InstallerProperties properties;     // the decision's
  std::wstring_view userText;         // -SivetArgs as gathered
  bool disableRm = false;
  bool skipInstallValidate = false;
};

// "<system>\msiexec.exe" /i "<package>" [/Lv "<log>"] REBOOT=R [ <ui>]<properties><user's
// text>[ MSIRESTARTMANAGERCONTROL=Disable][ SKIPINSTALLVALIDATE=1]. The user's "/q" drops
// our level; the two switches go behind everything, the user's text included.
std::wstring ComposeMsiexecLine(const MsiexecLine& line);

struct CspSetupLine {
  std::wstring_view setupProgram;  // the CSP's Setup.exe, a full path (quoted on the line)
  std::wstring_view kcLevel;       // empty: the setup program chooses
  std::wstring_view lang;
  const wchar_t* uiLevel = L"/qb";
  std::wstring log;             // our verbose log; empty when the user brings a log switch
  std::wstring_view userText;   // -CSPArgs as gathered
  bool silent = false;
  bool reinstall = false;
};

// "<setup>" -root -restartkorvctrl -disablerm -skipinstallvalidate [-kc <kc> ][-lang <lang> ]
// -args "[<ui> ][/Lv """<log>""" ]<user's text>" -noreboot[ -silent][ -reinstall].
std::wstring ComposeCspSetupLine(const CspSetupLine& line);

}  // namespace korvana
