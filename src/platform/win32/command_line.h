// The process's command line and its split into arguments.
#pragma once

#include "platform/command_line.h"

namespace korvana::win32 {

class Win32CommandLine final : public CommandLine {
 public:
  std::wstring GetProcessCommandLine() override;
  std::optional<std::vector<std::wstring>> Split(const std::wstring& commandLine) override;
};

}  // namespace korvana::win32
