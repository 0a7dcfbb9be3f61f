#include "platform/win32/command_line.h"

#include "platform/win32/unique_handle.h"

#include <shellapi.h>

namespace korvana::win32 {

std::wstring Win32CommandLine::GetProcessCommandLine() { return ::GetCommandLineW(); }

std::optional<std::vector<std::wstring>> Win32CommandLine::Split(const std::wstring& commandLine) {
  int count = 0;
  LPWSTR* arguments = ::CommandLineToArgvW(commandLine.c_str(), &count);
  if (arguments == nullptr) return std::nullopt;
  UniqueLocalMemory owner(reinterpret_cast<HLOCAL>(arguments));
  return std::vector<std::wstring>(arguments, arguments + count);
}

}  // namespace korvana::win32
