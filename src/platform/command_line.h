// The process's own command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace korvana {

class CommandLine {
 public:
  virtual ~CommandLine() = default;
  virtual std::wstring GetProcessCommandLine() = 0;  // GetCommandLineW
  // CommandLineToArgvW (the array freed with LocalFree); nullopt when it fails.
  virtual std::optional<std::vector<std::wstring>> Split(const std::wstring& commandLine) = 0;
};

}  // namespace korvana
