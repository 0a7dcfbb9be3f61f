#include "platform/win32/libraries.h"

#include "platform/win32/unique_handle.h"

namespace korvana::win32 {
namespace {

// Every export called here takes no argument and answers a 32-bit number; without
// arguments the cdecl and stdcall conventions agree, so either kind may be called.
using NoArgumentFunction = std::int32_t(WINAPI*)();

}  // namespace

LibraryToken Win32Libraries::LoadLibrary(const std::wstring& name) {
  return ToToken<LibraryToken>(::LoadLibraryW(name.c_str()));
}

std::optional<std::int32_t> Win32Libraries::CallExport(LibraryToken library, const char* name) {
  auto function = FindExport<NoArgumentFunction>(FromToken<HMODULE>(library), name);
  if (function == nullptr) return std::nullopt;
  return function();
}

void Win32Libraries::FreeLibrary(LibraryToken library) {
  ::FreeLibrary(FromToken<HMODULE>(library));
}

}  // namespace korvana::win32
