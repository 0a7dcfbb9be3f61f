// Any options, user texts and TMP value: the CSP's setup program and msiexec get their
// command lines laid out piece by piece in the documented order, whatever the texts
// hold, and each run ends with the documented result and boxes.
//
// Input: a flag byte, an exit-code byte, then the texts cspArgs, sivetArgs, KC level,
// language and TMP separated by 0 bytes (missing ones empty), one byte a character.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fake_platform.h"
#include "install/csp_installer.h"
#include "install/plugin_installer.h"
#include "support/log_folder.h"
#include "support/message_box.h"
#include "run/setup_options.h"
#include "packages/package_locator.h"
#include "resources/text_ids.h"

namespace {

using korvana::SetupOptions;
using korvana::Status;
using korvana::testing::FakePlatform;
namespace text = korvana::text;

const std::wstring kStamp = L"2026-12-07-04-36-54";
const korvana::LocalTime kNow{2026, 12, 7, 4, 36, 54};
const std::wstring kPackagePath = L"C:\\setup\\sivetcom-x64-rus.msi";
const std::wstring kPackageName = L"sivetcom-x64-rus.msi";
const std::wstring kNewCode = L"{AAAAAAAA-1111-2222-3333-444444444444}";
const std::wstring kOtherCode = L"{BBBBBBBB-1111-2222-3333-444444444444}";
const std::wstring kUpgradeCode = L"{CCCCCCCC-1111-2222-3333-444444444444}";

struct Input {
  bool silent = false;
  bool reinstall = false;
  bool disableRm = false;
  bool skipInstallValidate = false;
  bool tmpUnset = false;     // else TMP holds `tmp` (empty: set but empty)
  bool installed = false;    // a related product is installed, older than the package
  bool sameCode = false;     // ... under the package's own product code
  bool featureAbsent = false;
  bool cspFolder = false;    // a "csp" folder exists
  bool cspLogWritten = false;
  Status cspExit = 0;
  Status msiExit = 0;
  std::wstring cspArgs, sivetArgs, kcLevel, lang, tmp;
};

Input Split(const std::uint8_t* data, std::size_t size) {
  Input in;
  const std::uint8_t flags = size > 0 ? data[0] : 0;
  const std::uint8_t codes = size > 1 ? data[1] : 0;
  in.silent = flags & 0x01;
  in.reinstall = flags & 0x02;
  in.disableRm = flags & 0x04;
  in.skipInstallValidate = flags & 0x08;
  in.tmpUnset = (flags & 0x30) == 0x30;
  in.installed = flags & 0x40;
  in.sameCode = flags & 0x80;
  static const Status kCspExits[] = {0, 3, 4, 1602, 3010, 2, 1603, 0xC0000005};
  static const Status kMsiExits[] = {0, 3010, 1641, 1603};
  in.cspExit = kCspExits[codes & 0x07];
  in.cspFolder = codes & 0x08;
  in.cspLogWritten = codes & 0x10;
  in.featureAbsent = codes & 0x20;
  in.msiExit = kMsiExits[codes >> 6];
  std::wstring* const fields[] = {&in.cspArgs, &in.sivetArgs, &in.kcLevel, &in.lang, &in.tmp};
  std::size_t field = 0;
  for (std::size_t i = 2; i < size && field < 5; ++i) {
    if (data[i] == 0) {
      ++field;
    } else {
      fields[field]->push_back(static_cast<wchar_t>(data[i]));
    }
  }
  return in;
}

void Check(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "broken: %s\n", what);
  std::abort();
}

bool Holds(const std::wstring& text, const wchar_t* piece) {
  return text.find(piece) != std::wstring::npos;
}
bool StartsWith(const std::wstring& text, const std::wstring& head) {
  return text.compare(0, head.size(), head) == 0;
}
bool EndsWith(const std::wstring& text, const std::wstring& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}
bool OwnLogSwitch(const std::wstring& arguments) {
  return Holds(arguments, L"/l") || Holds(arguments, L"/L");
}

void SetTmp(FakePlatform& fake, const Input& in) {
  fake.now = kNow;
  if (in.tmpUnset) {
    fake.environment.erase(L"TMP");
  } else {
    fake.environment[L"TMP"] = in.tmp;
  }
}

std::size_t BoxesWith(const FakePlatform& fake, const std::wstring& text) {
  std::size_t n = 0;
  for (const auto& box : fake.boxes) n += box.text == text;
  return n;
}

// ---- CSP mode: csp\Setup.exe ---------------------------------------------------------

void CheckCsp(const Input& in) {
  FakePlatform fake;
  SetTmp(fake, in);
  if (in.cspFolder) fake.AddFile(L"C:\\setup\\csp\\Setup.exe");
  const std::wstring logPath = in.tmp + L"\\csp_" + kStamp + L".log";
  fake.onRun = [&](const std::wstring&) {
    if (in.cspLogWritten) fake.AddFile(logPath);
    return in.cspExit;
  };
  SetupOptions options;
  options.kcLevel = in.kcLevel;
  options.lang = in.lang;
  options.cspArgs = in.cspArgs;
  options.silent = in.silent;
  options.reinstall = in.reinstall;
  const korvana::Boxes boxes(fake.platform(), in.silent, text::kCspCaption);
  const korvana::StepOutcome step = korvana::InstallCsp(fake.platform(), options, boxes);
  boxes.ShowFailure(step);
  const Status result = step.ended ? step.code : 0;

  if (!in.cspFolder) {
    Check(result == 0 && fake.commandLines.empty() && fake.boxes.empty(),
          "csp: without a csp folder the plug-in goes on alone, nothing run");
    return;
  }
  const bool logged = !OwnLogSwitch(in.cspArgs);
  if (logged && (in.tmpUnset || in.tmp.empty() || !korvana::IsUsableLogFolder(in.tmp))) {
    Check(result == (in.tmpUnset || in.tmp.empty() ? 203u : 161u),
          "csp: unreadable TMP gives ERROR_ENVVAR_NOT_FOUND, an unusable one ERROR_BAD_PATHNAME");
    Check(fake.commandLines.empty(), "csp: nothing runs without the log's folder");
    Check(fake.boxes.size() == (in.silent || (!in.tmpUnset && !in.tmp.empty()) ? 0u : 1u),
          "csp: one box for unreadable TMP");
    return;
  }
  Check(fake.environmentReads.size() == (logged ? 1u : 0u), "csp: TMP read only for the log");
  Check(fake.commandLines.size() == 1, "csp: the setup program runs once");
  const std::wstring& line = fake.commandLines[0];

  // The fixed program part, then the KC level and language when given.
  std::wstring head = L"\"C:\\setup\\csp\\Setup.exe\" -root -restartkorvctrl -disablerm -skipinstallvalidate ";
  if (!in.kcLevel.empty()) head += L"-kc " + in.kcLevel + L" ";
  if (!in.lang.empty()) head += L"-lang " + in.lang + L" ";
  head += L"-args \"";
  Check(StartsWith(line, head), "csp: program, fixed options, -kc, -lang, then -args \"");

  // Behind the installer arguments' closing quote only the trailing switches.
  std::wstring tail = L"\" -noreboot";
  if (in.silent) tail += L" -silent";
  if (in.reinstall) tail += L" -reinstall";
  Check(line.size() >= head.size() + tail.size() && EndsWith(line, tail),
        "csp: closing quote, -noreboot, -silent, -reinstall end the line");

  // Between them: "/qb " unless the user's text holds "/q" (the log's folder does not
  // count), the log piece unless the user brought a log switch, and the user's
  // arguments untouched.
  const std::wstring args = line.substr(head.size(), line.size() - head.size() - tail.size());
  const std::wstring logPiece = logged ? L"/Lv \"\"\"" + logPath + L"\"\"\" " : L"";
  const bool basicUi = !Holds(in.cspArgs, L"/q");
  Check(args == (basicUi ? L"/qb " : L"") + logPiece + in.cspArgs,
        "csp: /qb, the log piece and the user's arguments, in that order");

  // Success codes let the plug-in follow.
  const Status effective = in.cspExit;
  const bool success = effective == 0 || effective == 3 || effective == 4 || effective == 1602;
  Check(result == (success ? 0 : effective), "csp: result");
  if (success || in.silent) {
    Check(fake.boxes.empty(), "csp: no box on success or when silent");
    return;
  }
  Check(fake.boxes.size() == 1, "csp: one failure box");
  std::wstring message = fake.platform().texts.LoadText(text::kCspFailed) + L": " +
                         std::to_wstring(effective) + L".\n";
  if (logged && in.cspLogWritten) message += L"Install log: " + logPath;
  Check(fake.boxes[0].text == message, "csp: failure text, with the log only when written");
  Check(fake.boxes[0].caption == fake.platform().texts.LoadText(text::kCspCaption),
        "csp: failure box under the run's caption");
}

// ---- The plug-in: msiexec ------------------------------------------------------------

void CheckPlugin(const Input& in) {
  FakePlatform fake;
  SetTmp(fake, in);
  const std::wstring packageCode = in.installed && in.sameCode ? kOtherCode : kNewCode;
  fake.AddFile(kPackagePath);
  fake.packages[kPackagePath].properties = {{L"ProductCode", packageCode},
                                            {L"UpgradeCode", kUpgradeCode},
                                            {L"ProductName", L"Korvana plug-in"},
                                            {L"ProductVersion", L"2.0.14"}};
  if (in.installed) {
    korvana::testing::FakeProduct product;
    product.productCode = kOtherCode;
    product.upgradeCode = kUpgradeCode;
    product.versionString = L"2.0.13";
    product.featureState = in.featureAbsent ? 2 : 3;
    fake.products.push_back(product);
  }
  fake.onRun = [&](const std::wstring&) { return in.msiExit; };
  SetupOptions options;
  options.disableRm = in.disableRm;
  options.skipInstallValidate = in.skipInstallValidate;
  korvana::PackageLocator locator(fake.platform());
  options.silent = in.silent;
  options.reinstall = in.reinstall;
  options.sivetArgs = in.sivetArgs;
  const korvana::StepOutcome step =
      korvana::InstallPlugin(fake.platform(), locator, options, korvana::Boxes(fake.platform(), in.silent));
  const Status result = step.ended ? step.code : 0;

  const std::wstring unreadableTmp = fake.platform().texts.LoadText(text::kEnvironmentUnreadable);
  const bool logged = !OwnLogSwitch(in.sivetArgs);
  if (logged && (in.tmpUnset || in.tmp.empty() || !korvana::IsUsableLogFolder(in.tmp))) {
    Check(result == (in.tmpUnset || in.tmp.empty() ? 203u : 161u),
          "msiexec: unreadable TMP gives ERROR_ENVVAR_NOT_FOUND, an unusable one ERROR_BAD_PATHNAME");
    Check(fake.commandLines.empty(), "msiexec: nothing runs without the log's folder");
    Check(BoxesWith(fake, unreadableTmp) == (in.silent || (!in.tmpUnset && !in.tmp.empty()) ? 0u : 1u),
          "msiexec: TMP box");
    Check(step.logPath.empty(), "msiexec: no log named");
    return;
  }
  Check(fake.boxes.size() == (in.installed && !in.silent ? 1u : 0u),
        "msiexec: no box but the update question");
  Check(fake.commandLines.size() == 1, "msiexec runs once");
  const std::wstring& line = fake.commandLines[0];

  const std::wstring head = L"\"C:\\windows\\system32\\msiexec.exe\" /i \"" + kPackagePath + L"\" ";
  Check(StartsWith(line, head), "msiexec: quoted msiexec path, /i and the quoted package first");

  const std::wstring log = logged ? in.tmp + L"\\" + kPackageName + L"_" + kStamp + L".log" : L"";
  Check(step.logPath == (step.failureText != 0 ? log : L""),
        "msiexec: the failure box names the log on the line");
  std::wstring expected = head;
  if (logged) expected += L"/Lv \"" + log + L"\"";
  expected += L" REBOOT=R ";
  if (!Holds(in.sivetArgs, L"/q")) expected += L" /qb";
  if (!in.installed) {
    expected += L" ADDNPSIVET=1";
  } else if (in.sameCode) {
    if (in.featureAbsent) expected += L" COMPADDLOCAL={316A4D11-D027-4C52-86B6-54D1FBC148E3}";
    expected += L" REINSTALL=ALL REINSTALLMODE=vomus";
  } else if (in.featureAbsent) {
    expected += L" ADDLOCAL=ALL";
  }
  expected += in.sivetArgs;
  if (in.disableRm) expected += L" MSIRESTARTMANAGERCONTROL=Disable";
  if (in.skipInstallValidate) expected += L" SKIPINSTALLVALIDATE=1";
  Check(line == expected,
        "msiexec: log, REBOOT=R, /qb, the properties, the user's text, the switches");

  const bool restart = in.msiExit == 3010 || in.msiExit == 1641;
  Check(result == (restart ? 0 : in.msiExit), "msiexec: result, a restart request is success");
  Check(fake.keys.count(L"HKCU\\Software\\NeedBstrReboot") == (restart ? 1u : 0u),
        "msiexec: the restart marker exactly on a restart request");
  Check(fake.openKeys == 0 && fake.openMsiHandles == fake.closedMsiHandles,
        "msiexec: every key and package closed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Input in = Split(data, size);
  CheckCsp(in);
  CheckPlugin(in);
  return 0;
}
