// Processes: children, the lock one run holds against the next, and the pieces of a
// system restart.
#pragma once

#include <string>

#include "platform/tokens.h"

namespace korvana {

// What claiming a named mutex came to.
enum class [[nodiscard]] MutexClaim {
  Created,         // made by this call, with the security asked for: this process owns it
  Owned,           // it existed and was free: this process owns it now
  OwnedAbandoned,  // it existed, its last owner ended without releasing it; this process owns it now
  HeldElsewhere,   // it existed and another process owns it
  Failed,          // it could neither be created nor opened, or its owner not read
};

class Processes {
 public:
  virtual ~Processes() = default;
  // Starts `commandLine` (CREATE_NO_WINDOW) as the program `application`, a full path,
  // or, when it is empty, as the program the command line's first token names; waits
  // without a time limit. The exit code, or GetLastError of the failed start or of a
  // failed GetExitCodeProcess.
  [[nodiscard]] virtual Status RunAndWait(const std::wstring& commandLine,
                                          const std::wstring& application) = 0;
  // CreateMutexW(initially owned, name) with the security descriptor that
  // ConvertStringSecurityDescriptorToSecurityDescriptorW makes of `sddl` (SDDL
  // revision 1), which applies only when this call creates it. When it existed
  // already (ERROR_ALREADY_EXISTS; the handle then has MUTEX_ALL_ACCESS, READ_CONTROL
  // among it): *owner becomes its owner's SID as ConvertSidToStringSidW spells it
  // (GetSecurityInfo), empty when it has none, then WaitForSingleObject on it without
  // waiting. An owned mutex stays owned until the process ends; the handle of one held
  // elsewhere, or whose owner cannot be read, is closed. *error: GetLastError of a
  // failed conversion or create, or GetSecurityInfo's result.
  virtual MutexClaim ClaimMutex(const std::wstring& name, const std::wstring& sddl,
                                std::wstring* owner, Status* error) = 0;
};

}  // namespace korvana
