// The service control manager, asked only whether a service exists.
#pragma once

#include "platform/services.h"

namespace korvana::win32 {

class Win32Services final : public Services {
 public:
  ServiceToken OpenManager(std::uint32_t access) override;
  ServiceToken OpenService(ServiceToken manager, const std::wstring& name,
                           std::uint32_t access) override;
  void CloseService(ServiceToken handle) override;
};

}  // namespace korvana::win32
