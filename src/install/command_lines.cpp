#include "install/command_lines.h"

#include "support/text.h"

namespace korvana {

std::wstring ComposeMsiexecLine(const MsiexecLine& line) {
  std::wstring text = L"\"" + line.systemDirectory + L"\\msiexec.exe\" /i \"" + line.package + L"\" ";
  if (!line.log.empty()) text += L"/Lv \"" + line.log + L"\"";
  // Windows Installer defers any restart to us: REBOOT=R, then the interface level.
  text += L" REBOOT=R ";
  if (!Contains(line.userText, L"/q")) text += std::wstring(L" ") + line.uiLevel;
  for (const wchar_t* property : line.properties) text += property;
  text += line.userText;
  if (line.disableRm) text += L" MSIRESTARTMANAGERCONTROL=Disable";
  if (line.skipInstallValidate) text += L" SKIPINSTALLVALIDATE=1";
  return text;
}

std::wstring ComposeCspSetupLine(const CspSetupLine& line) {
  std::wstring text = line.setupProgram + L" -root -restartkorvctrl -disablerm -skipinstallvalidate ";
  if (!line.kcLevel.empty()) text += L"-kc " + line.kcLevel + L" ";
  if (!line.lang.empty()) text += L"-lang " + line.lang + L" ";
  text += L"-args \"";
  // Only the user's own text can name a level; our log path (TMP's, -logdir's) is not
  // looked at, so a folder with "/q" in its name keeps the default level.
  if (!Contains(line.userText, L"/q")) text += std::wstring(line.uiLevel) + L" ";
  // Three quotes on each side: the setup program hands the text on inside a quoted
  // argument of its own, and its installer then sees one quoted path.
  if (!line.log.empty()) text += L"/Lv \"\"\"" + line.log + L"\"\"\" ";
  text += line.userText + L"\" -noreboot";
  if (line.silent) text += L" -silent";
  if (line.reinstall) text += L" -reinstall";
  return text;
}

}  // namespace korvana
