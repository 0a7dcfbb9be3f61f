#include "platform/win32/registry.h"

#include "platform/win32/unique_handle.h"

namespace korvana::win32 {
namespace {

using RegDeleteKeyExWFunction = LONG(WINAPI*)(HKEY key, LPCWSTR subKey, REGSAM access,
                                              DWORD reserved);
using RegDeleteKeyWFunction = LONG(WINAPI*)(HKEY key, LPCWSTR subKey);

HKEY RootKey(RegistryRoot root) {
  return root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

// RegOpenKeyExW below `parent`, a root or an open key.
Status OpenBelow(HKEY parent, const std::wstring& subKey, std::uint32_t access, KeyToken* key) {
  HKEY opened = nullptr;
  const LONG status = ::RegOpenKeyExW(parent, subKey.c_str(), 0, access, &opened);
  if (status == ERROR_SUCCESS) *key = ToToken<KeyToken>(opened);
  return static_cast<Status>(status);
}

}  // namespace

Status Win32Registry::OpenKey(RegistryRoot root, const std::wstring& subKey,
                              std::uint32_t access, KeyToken* key) {
  return OpenBelow(RootKey(root), subKey, access, key);
}

Status Win32Registry::CreateKey(RegistryRoot root, const std::wstring& subKey,
                                std::uint32_t access, KeyToken* key) {
  HKEY created = nullptr;
  const LONG status = ::RegCreateKeyExW(RootKey(root), subKey.c_str(), 0, nullptr,
                                        REG_OPTION_NON_VOLATILE, access, nullptr, &created,
                                        nullptr);
  if (status == ERROR_SUCCESS) *key = ToToken<KeyToken>(created);
  return static_cast<Status>(status);
}

Status Win32Registry::OpenSubKey(KeyToken parent, const std::wstring& subKey,
                                 std::uint32_t access, KeyToken* key) {
  return OpenBelow(FromToken<HKEY>(parent), subKey, access, key);
}

Read<RegistryText> Win32Registry::QueryText(KeyToken key, const std::wstring& name) {
  // 260 characters with the null; a text that fills them all may have been cut short,
  // and a cut name could name something else.
  constexpr DWORD kBytes = 520;
  wchar_t value[kBytes / sizeof(wchar_t)] = {};
  DWORD bytes = kBytes;
  DWORD kind = REG_NONE;
  const LONG status = ::RegQueryValueExW(FromToken<HKEY>(key), name.c_str(), nullptr, &kind,
                                         reinterpret_cast<BYTE*>(value), &bytes);
  if (status != ERROR_SUCCESS) return {false, {}, static_cast<Status>(status)};
  if (kind != REG_SZ && kind != REG_EXPAND_SZ) return {false, {}, ERROR_UNSUPPORTED_TYPE};
  if (bytes >= kBytes) return {false, {}, ERROR_MORE_DATA};
  return {true, {UpToFirstNull(value, bytes / sizeof(wchar_t)), kind == REG_EXPAND_SZ}, 0};
}

void Win32Registry::CloseKey(KeyToken key) { ::RegCloseKey(FromToken<HKEY>(key)); }

Status DeleteSubKeyThrough(HKEY parent, const std::wstring& name, DeleteKeyRoute route) {
  if (route == DeleteKeyRoute::LocalRegistryApiSet) {
    // Only ever looked up when already loaded: GetModuleHandleW loads nothing.
    HMODULE apiSet = ::GetModuleHandleW(kLocalRegistryApiSet);
    if (apiSet == nullptr) return ERROR_MOD_NOT_FOUND;
    auto deleteKeyEx = FindExport<RegDeleteKeyExWFunction>(apiSet, "RegDeleteKeyExW");
    if (deleteKeyEx == nullptr) return ERROR_PROC_NOT_FOUND;
    return static_cast<Status>(deleteKeyEx(parent, name.c_str(), 0, 0));
  }
  // advapi32 is a KnownDLL and the search path is limited to System32 at start, so
  // this name cannot be planted beside the executable.
  UniqueLoadedModule advapi32(::LoadLibraryW(L"advapi32.dll"));
  if (!advapi32) return ERROR_MOD_NOT_FOUND;
  auto deleteKey = FindExport<RegDeleteKeyWFunction>(advapi32.get(), "RegDeleteKeyW");
  if (deleteKey == nullptr) return ERROR_PROC_NOT_FOUND;
  return static_cast<Status>(deleteKey(parent, name.c_str()));
}

Status Win32Registry::DeleteSubKey(KeyToken parent, const std::wstring& name) {
  return DeleteSubKeyThrough(FromToken<HKEY>(parent), name,
                             ::GetModuleHandleW(kLocalRegistryApiSet) != nullptr
                                 ? DeleteKeyRoute::LocalRegistryApiSet
                                 : DeleteKeyRoute::Advapi32);
}

}  // namespace korvana::win32
