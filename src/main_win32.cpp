// The graphical entry point of korvana-setup.exe.
#include <new>

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

// The platform is built here and never destroyed. A browser download the user
// cancelled is left to run on its worker thread (ending a thread from outside could
// leave the heap or a loader lock held), and that thread may still be inside a
// platform call, or inside wininet.dll or wintrust.dll, when wWinMain returns and the
// C runtime runs its exit clean-up. A destroyed platform, or a library unloaded by
// its destructor, would pull the ground from under it; the end of the process
// reclaims everything anyway.
alignas(korvana::win32::Win32Platform) unsigned char platformStorage[sizeof(
    korvana::win32::Win32Platform)];

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLineTail, int) {
  RestrictDllSearchPath();
  auto* win32 = new (platformStorage) korvana::win32::Win32Platform(instance);
  return static_cast<int>(
      korvana::RunBootstrapper(win32->platform(), commandLineTail ? commandLineTail : L""));
}
