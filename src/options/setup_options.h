// The run options, one record per process, filled from the command line.
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
  std::wstring cspArgs;
  std::wstring lang;
  std::wstring kcLevel;
  std::wstring sivetArgs;
  std::wstring vbscriptArgs;
};

}  // namespace korvana
