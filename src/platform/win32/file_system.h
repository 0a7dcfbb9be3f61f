// Files, folders and the environment.
#pragma once

#include "platform/file_system.h"
#include "platform/win32/system_library.h"
#include "platform/win32/windows_api.h"

namespace korvana::win32 {

// The full path of `module` (null: the executable), however long. The buffer starts
// at `initialCapacity` characters and grows until the path fits.
std::wstring ReadModuleFileName(HMODULE module, DWORD initialCapacity = MAX_PATH);

class Win32FileSystem final : public FileSystem {
 public:
  std::wstring ModulePath() override;
  std::vector<FolderEntry> ListEntries(const std::wstring& pattern) override;
  bool Exists(const std::wstring& path) override;
  bool DeleteFile(const std::wstring& path) override;
  Status CreateFolder(const std::wstring& path) override;
  Read<std::wstring> GetWindowsDirectory() override;
  Read<std::wstring> GetSystemDirectory() override;
  Read<std::wstring> GetCurrentDirectory() override;
  FileToken CreateFile(const std::wstring& path, std::uint32_t access, std::uint32_t share,
                       std::uint32_t disposition, std::uint32_t attributes,
                       Status* error = nullptr) override;
  bool WriteFile(FileToken file, const void* data, std::uint32_t size) override;
  void CloseFile(FileToken file) override;
  Status CreateSecuredFolder(const std::wstring& path, const std::wstring& sddl) override;
  Status RemoveFolder(const std::wstring& path) override;
  bool FillRandom(void* buffer, std::uint32_t size) override;

 private:
  // RtlGenRandom's own library since Windows 7, and no known DLL: advapi32's export of
  // it only forwards there, and the loader looks for a forwarder's library the usual
  // way, beside the executable first. So it is taken from here, by full path, and
  // from advapi32 only where this library does not exist (XP, Vista), whose export
  // is then the function itself.
  SystemLibrary cryptbase_{L"cryptbase.dll"};
};

class Win32Environment final : public Environment {
 public:
  Read<std::wstring> GetVariable(const std::wstring& name) override;
  Read<std::wstring> Expand(const std::wstring& text) override;
};

}  // namespace korvana::win32
