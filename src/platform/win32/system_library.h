// Libraries that ship with Windows, loaded from the System32 folder and nowhere else.
//
// None of them is imported: an import is resolved by the loader's usual search, which
// for an elevated setup program started from a download folder begins in that folder.
// Each is loaded by its full path at the first call that needs it.
#pragma once

#include "platform/win32/unique_handle.h"

namespace korvana::win32 {

// LoadLibraryExW of `name` in the System32 folder, by full path, with its own
// dependencies from System32 only where the system knows how to ask for that; null
// when it cannot be loaded.
HMODULE LoadSystemLibrary(const wchar_t* name);

// A System32 library loaded once, at the first Get() from whichever thread comes
// first, and never unloaded: a worker thread that was given up on may still be
// inside one of its functions when the program ends.
class SystemLibrary {
 public:
  explicit SystemLibrary(const wchar_t* name) : name_(name) {}
  SystemLibrary(const SystemLibrary&) = delete;
  SystemLibrary& operator=(const SystemLibrary&) = delete;

  // The library, or null when it could not be loaded (the first answer stands).
  HMODULE Get();

  // Export `name` as the pointer type the caller names; null when the library or the
  // export is missing.
  template <typename Function>
  Function Find(const char* name) {
    return FindExport<Function>(Get(), name);
  }

 private:
  const wchar_t* name_;
  // kNotTried, then kLoading while one thread loads, then kLoaded (module_ is set,
  // null on failure). Interlocked calls only: no InitOnce, which older systems lack.
  volatile LONG state_ = 0;
  HMODULE module_ = nullptr;
};

}  // namespace korvana::win32
