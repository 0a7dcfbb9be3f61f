// The graphical entry point of korvana-setup.exe.
#include "app/bootstrapper.h"
#include "platform/win32/win32_platform.h"

namespace {

using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD directoryFlags);
using SetDllDirectoryWFunction = BOOL(WINAPI*)(LPCWSTR directory);

// An elevated setup program is often started from a download folder, where anyone
// may have left a DLL named like a system one. From here on, libraries loaded by
// name come from System32 only. Systems without SetDefaultDllDirectories (before the
// KB2533623 update) keep their usual search, less the current folder (which is the
// download folder when the program was started from there); every library we load
// ourselves is named by full path or is a KnownDLL.
void RestrictDllSearchPath() {
  HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  auto setDllDirectory = korvana::win32::FindExport<SetDllDirectoryWFunction>(kernel32, "SetDllDirectoryW");
  if (setDllDirectory != nullptr) setDllDirectory(L"");
  auto setDefaultDllDirectories =
      korvana::win32::FindExport<SetDefaultDllDirectoriesFunction>(kernel32, "SetDefaultDllDirectories");
  if (setDefaultDllDirectories != nullptr) {
    setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLineTail, int) {
  RestrictDllSearchPath();
  korvana::win32::Win32Platform win32(instance);
  return static_cast<int>(
      korvana::RunBootstrapper(win32.platform(), commandLineTail ? commandLineTail : L""));
}
