// The service control manager, asked only whether a service exists.
#pragma once

#include <string>

#include "platform/tokens.h"

namespace korvana {

class Services {
 public:
  virtual ~Services() = default;
  // OpenSCManagerW(local machine, active database, access); 0 when it fails.
  virtual ServiceToken OpenManager(std::uint32_t access) = 0;
  // OpenServiceW; 0 when it fails.
  virtual ServiceToken OpenService(ServiceToken manager, const std::wstring& name,
                                   std::uint32_t access) = 0;
  virtual void CloseService(ServiceToken handle) = 0;  // CloseServiceHandle
};

using ServiceHandle = ScopedToken<Services, ServiceToken, &Services::CloseService>;

}  // namespace korvana
