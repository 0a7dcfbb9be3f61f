#include "platform/win32/system_library.h"

#include <string>

#include "platform/win32/unique_handle.h"

namespace korvana::win32 {
namespace {

constexpr LONG kNotTried = 0;
constexpr LONG kLoading = 1;
constexpr LONG kLoaded = 2;

}  // namespace

HMODULE LoadSystemLibrary(const wchar_t* name) {
  wchar_t folder[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  std::wstring path(folder, length);
  path += L'\\';
  path += name;
  // The LOAD_LIBRARY_SEARCH_* flags exist where SetDefaultDllDirectories does; older
  // systems get the altered search, which looks in the library's own folder first.
  const bool searchFlagsKnown =
      FindExport<void*>(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories") !=
      nullptr;
  return ::LoadLibraryExW(path.c_str(), nullptr,
                          searchFlagsKnown ? LOAD_LIBRARY_SEARCH_SYSTEM32
                                           : LOAD_WITH_ALTERED_SEARCH_PATH);
}

HMODULE SystemLibrary::Get() {
  if (::InterlockedCompareExchange(&state_, kLoading, kNotTried) == kNotTried) {
    module_ = LoadSystemLibrary(name_);
    ::InterlockedExchange(&state_, kLoaded);  // a full barrier: module_ is visible first
    return module_;
  }
  // Another thread is loading it (a worker and the main thread asking at once, which
  // the program never does on purpose): wait the few milliseconds that takes.
  while (::InterlockedCompareExchange(&state_, kLoaded, kLoaded) != kLoaded) ::Sleep(1);
  return module_;
}

}  // namespace korvana::win32
