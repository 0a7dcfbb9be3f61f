#include "install/command_lines.h"

#include "support/text.h"

namespace korvana {

std::wstring ComposeMsiexecLine(const MsiexecLine& line) {
  std::wstring text = L"\"";
  text.append(line.systemDirectory).append(L"\\msiexec.exe\" /i \"").append(line.package).append(L"\" ");
  if (!line.log.empty()) text.append(L"/Lv \"").append(line.log).append(L"\"");
  // Windows Installer defers any restart to us: REBOOT=R, then the interface level.
  text.append(L" REBOOT=R ");
  if (line.userText.find(L"/q") == std::wstring_view::npos) text.append(L" ").append(line.uiLevel);
  for (std::size_t i = 0; i < line.properties.count; ++i) text.append(line.properties.items[i]);
  text.append(line.userText);
  if (line.disableRm) text += L" MSIRESTARTMANAGERCONTROL=Disable";
  if (line.skipInstallValidate) text += L" SKIPINSTALLVALIDATE=1";
  return text;
}

std::wstring ComposeCspSetupLine(const CspSetupLine& line) {
  std::wstring text = L"\"";
  text.append(line.setupProgram).append(L"\" -root -restartkorvctrl -disablerm -skipinstallvalidate ");
  if (!line.kcLevel.empty()) text.append(L"-kc ").append(line.kcLevel).append(L" ");
  if (!line.lang.empty()) text.append(L"-lang ").append(line.lang).append(L" ");
  text.append(L"-args \"");
  // Only the user's own text can name a level; our log path (TMP's, -logdir's) is not
  // looked at, so a folder with "/q" in its name keeps the default level.
  if (line.userText.find(L"/q") == std::wstring_view::npos) text.append(line.uiLevel).append(L" ");
  // Three quotes on each side: the setup program hands the text on inside a quoted
  // argument of its own, and its installer then sees one quoted path.
  if (!line.log.empty()) text.append(L"/Lv \"\"\"").append(line.log).append(L"\"\"\" ");
  text.append(line.userText).append(L"\" -noreboot");
  if (line.silent) text += L" -silent";
  if (line.reinstall) text += L" -reinstall";
  return text;
}

}  // namespace korvana
