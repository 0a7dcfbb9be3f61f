// Registry keys. Tokens handed out are the HKEY values; the logic closes them.
#pragma once

#include "platform/registry.h"
#include "platform/win32/windows_api.h"

namespace korvana::win32 {

// Which export deletes a subkey: RegDeleteKeyExW of the local registry API set, only
// ever once it is loaded, or RegDeleteKeyW of advapi32.dll (loaded with LoadLibraryW).
enum class DeleteKeyRoute { LocalRegistryApiSet, Advapi32 };
inline constexpr wchar_t kLocalRegistryApiSet[] = L"API-MS-Win-Core-LocalRegistry-L1-1-0.dll";

// Deletes `name` below `parent` through `route`: ERROR_MOD_NOT_FOUND or
// ERROR_PROC_NOT_FOUND when the export cannot be reached, else the call's status.
Status DeleteSubKeyThrough(HKEY parent, const std::wstring& name, DeleteKeyRoute route);

class Win32Registry final : public Registry {
 public:
  Status OpenKey(RegistryRoot root, const std::wstring& subKey, std::uint32_t access,
                 KeyToken* key) override;
  Status CreateKey(RegistryRoot root, const std::wstring& subKey, std::uint32_t access,
                   KeyToken* key) override;
  Status OpenSubKey(KeyToken parent, const std::wstring& subKey, std::uint32_t access,
                    KeyToken* key) override;
  Read<RegistryText> QueryText(KeyToken key, const std::wstring& name) override;
  void CloseKey(KeyToken key) override;
  Status DeleteSubKey(KeyToken parent, const std::wstring& name) override;
};

}  // namespace korvana::win32
