// Helpers for the tests that run against the real Win32 platform under Wine.
#pragma once

#include <cstdlib>
#include <string>

#include "platform/win32/unique_handle.h"

namespace korvana::win32::testing {

// The built korvana-setup.exe (CTest passes its path in KORVANA_SETUP_EXE); empty
// when the tests run without it. A Unix path is reached through Wine's Z: drive.
inline std::wstring SetupExecutablePath() {
  const wchar_t* value = ::_wgetenv(L"KORVANA_SETUP_EXE");
  if (value == nullptr || *value == L'\0') return {};
  std::wstring path = value;
  if (path[0] == L'/') {
    path.insert(0, L"Z:");
    for (wchar_t& c : path) {
      if (c == L'/') c = L'\\';
    }
  }
  return path;
}

// A fresh, empty folder in the temporary folder, removed (with its files) at the end.
class TemporaryFolder {
 public:
  explicit TemporaryFolder(const wchar_t* name) {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + name + L"-" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(path_.c_str(), nullptr);
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  ~TemporaryFolder() { RemoveTree(path_); }

  const std::wstring& path() const { return path_; }
  std::wstring Child(const std::wstring& name) const { return path_ + L"\\" + name; }
  void AddFile(const std::wstring& name) const {
    UniqueKernelHandle file(::CreateFileW(Child(name).c_str(), GENERIC_WRITE, 0, nullptr,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  }
  void AddFolder(const std::wstring& name) const {
    ::CreateDirectoryW(Child(name).c_str(), nullptr);
  }

 private:
  static void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring child = folder + L"\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          RemoveTree(child);
        } else {
          ::DeleteFileW(child.c_str());
        }
      } while (::FindNextFileW(search, &data));
      ::FindClose(search);
    }
    ::RemoveDirectoryW(folder.c_str());
  }

  std::wstring path_;
};

}  // namespace korvana::win32::testing
