// Child processes and this process's end.
#pragma once

#include "platform/processes.h"

namespace korvana::win32 {

class Win32Processes final : public Processes {
 public:
  Status RunAndWait(const std::wstring& commandLine, const std::wstring& application) override;
  MutexClaim ClaimMutex(const std::wstring& name, const std::wstring& sddl, std::wstring* owner,
                        Status* error) override;
};

}  // namespace korvana::win32
