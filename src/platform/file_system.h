// Files, folders and the environment. Reads report GetLastError right after a failed
// call.
#pragma once

#include <string>
#include <vector>

#include "platform/tokens.h"

namespace korvana {

struct FolderEntry {
  std::wstring name;
  bool directory = false;  // FILE_ATTRIBUTE_DIRECTORY
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // The executable's full path, however long.
  virtual std::wstring ModulePath() = 0;
  // FindFirstFileW/FindNextFileW over `pattern`, every entry in file-system order.
  virtual std::vector<FolderEntry> ListEntries(const std::wstring& pattern) = 0;
  virtual bool Exists(const std::wstring& path) = 0;  // _wstat succeeds
  virtual bool DeleteFile(const std::wstring& path) = 0;
  // CreateDirectoryW with default security: 0, or GetLastError (ERROR_ALREADY_EXISTS
  // for any name that exists, a file's included).
  [[nodiscard]] virtual Status CreateFolder(const std::wstring& path) = 0;
  // GetWindowsDirectoryW into 260 characters; not ok (status 0) when the folder
  // does not fit or the call returns 0.
  virtual Read<std::wstring> GetWindowsDirectory() = 0;
  // GetSystemDirectoryW, however long.
  virtual Read<std::wstring> GetSystemDirectory() = 0;
  // GetCurrentDirectoryW, however long.
  virtual Read<std::wstring> GetCurrentDirectory() = 0;
  // CreateFileW(path, access, share, no security, disposition, attributes, no
  // template); 0 when it fails (Win32's INVALID_HANDLE_VALUE), and then, when `error`
  // is given, *error is GetLastError.
  virtual FileToken CreateFile(const std::wstring& path, std::uint32_t access, std::uint32_t share,
                               std::uint32_t disposition, std::uint32_t attributes,
                               Status* error = nullptr) = 0;
  // WriteFile of all `size` bytes; false when the call fails or writes fewer.
  [[nodiscard]] virtual bool WriteFile(FileToken file, const void* data, std::uint32_t size) = 0;
  virtual void CloseFile(FileToken file) = 0;  // CloseHandle
  // CreateDirectoryW(path) with the security descriptor that advapi32's
  // ConvertStringSecurityDescriptorToSecurityDescriptorW makes of `sddl` (SDDL
  // revision 1; freed with LocalFree). 0, or GetLastError of the failed conversion or
  // creation: ERROR_ALREADY_EXISTS for anything already there by that name, a
  // folder, a file or a link.
  [[nodiscard]] virtual Status CreateSecuredFolder(const std::wstring& path,
                                                   const std::wstring& sddl) = 0;
  // RemoveDirectoryW; 0, or GetLastError (ERROR_DIR_NOT_EMPTY while it holds anything).
  [[nodiscard]] virtual Status RemoveFolder(const std::wstring& path) = 0;
  // RtlGenRandom (SystemFunction036, on every Windows since XP: from cryptbase.dll in
  // System32 by full path where that exists, else from the loaded advapi32.dll) into
  // `size` bytes; false when it fails or cannot be found.
  [[nodiscard]] virtual bool FillRandom(void* buffer, std::uint32_t size) = 0;
};

using FileHandle = ScopedToken<FileSystem, FileToken, &FileSystem::CloseFile>;

// The process's environment.
class Environment {
 public:
  virtual ~Environment() = default;
  // GetEnvironmentVariableW: the size query, then the read into that size. A variable
  // that is set but empty is not ok, with status 0.
  virtual Read<std::wstring> GetVariable(const std::wstring& name) = 0;
  // ExpandEnvironmentStringsW: the size query, then the expansion into that size.
  virtual Read<std::wstring> Expand(const std::wstring& text) = 0;
};

}  // namespace korvana
