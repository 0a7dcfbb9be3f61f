// The run options, one record per process, filled from the command line and from what
// the run learns of its session before reading it.
#pragma once

#include <string>

namespace korvana {

// Flags are only ever set; texts start empty and only ever grow by appending.
struct SetupOptions {
  bool cspMode = false;
  bool selectDlg = false;
  bool silent = false;
  bool reinstall = false;
  bool noRestart = false;
  bool disableRm = false;
  bool skipInstallValidate = false;
  bool restartCodes = false;  // -restartcodes: 3010 and 1641 for a restart due or started
  // No visible desktop (a service's or SYSTEM's session 0): nobody can answer a box, so
  // none is shown and the run answers as a silent one would.
  bool unattended = false;
  std::wstring cspArgs;
  std::wstring lang;
  std::wstring kcLevel;
  std::wstring sivetArgs;
  std::wstring vbscriptArgs;
  std::wstring logDir;  // -logdir, as given

  // Whether no box and no dialog may be shown.
  bool NoBoxes() const { return silent || unattended; }
};

}  // namespace korvana
