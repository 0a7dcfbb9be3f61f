// Registry keys. Tokens handed out are the HKEY values; the logic closes them.
#pragma once

#include "platform/platform.h"

namespace korvana::win32 {

class Win32Registry final : public Registry {
 public:
  Status OpenKey(RegistryRoot root, const std::wstring& subKey, std::uint32_t access,
                 KeyToken* key) override;
  Status CreateKey(RegistryRoot root, const std::wstring& subKey, std::uint32_t access,
                   KeyToken* key) override;
  Status OpenSubKey(KeyToken parent, const std::wstring& subKey, std::uint32_t access,
                    KeyToken* key) override;
  Status QueryValue(KeyToken key, const std::wstring& name, void* buffer,
                    std::uint32_t* size, std::uint32_t* type) override;
  void CloseKey(KeyToken key) override;
  Status DeleteSubKey(KeyToken parent, const std::wstring& name, DeleteKeyRoute route) override;
};

}  // namespace korvana::win32
