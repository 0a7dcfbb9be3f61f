// Registry. Keys are tokens, closed through the interface (see RegistryKey).
#pragma once

#include <string>

#include "platform/tokens.h"

namespace korvana {

enum class RegistryRoot { CurrentUser, LocalMachine };

// A registry value that holds a text.
struct RegistryText {
  std::wstring text;
  bool expandable = false;  // REG_EXPAND_SZ: it names environment variables to expand
};

class Registry {
 public:
  virtual ~Registry() = default;
  // RegOpenKeyExW; 0 and a token, or the error.
  [[nodiscard]] virtual Status OpenKey(RegistryRoot root, const std::wstring& subKey,
                                       std::uint32_t access, KeyToken* key) = 0;
  // RegCreateKeyExW, no class, REG_OPTION_NON_VOLATILE, default security.
  [[nodiscard]] virtual Status CreateKey(RegistryRoot root, const std::wstring& subKey,
                                         std::uint32_t access, KeyToken* key) = 0;
  // RegOpenKeyExW below an open key.
  [[nodiscard]] virtual Status OpenSubKey(KeyToken parent, const std::wstring& subKey,
                                          std::uint32_t access, KeyToken* key) = 0;
  // RegQueryValueExW into 520 bytes: a REG_SZ or REG_EXPAND_SZ value up to its first
  // null. Not ok: the call's status; ERROR_UNSUPPORTED_TYPE for a value of another
  // type, ERROR_MORE_DATA for a text that fills the 520 bytes (it may be cut short).
  virtual Read<RegistryText> QueryText(KeyToken key, const std::wstring& name) = 0;
  virtual void CloseKey(KeyToken key) = 0;
  // Deletes `name` below `parent`: RegDeleteKeyExW of the local registry API set where
  // that is loaded already, else RegDeleteKeyW of advapi32.dll (loaded with
  // LoadLibraryW). ERROR_PROC_NOT_FOUND or ERROR_MOD_NOT_FOUND when the export cannot
  // be reached, else the call's status.
  [[nodiscard]] virtual Status DeleteSubKey(KeyToken parent, const std::wstring& name) = 0;
};

using RegistryKey = ScopedToken<Registry, KeyToken, &Registry::CloseKey>;

}  // namespace korvana
