// Helpers for the tests that run against the real Win32 platform under Wine.
#pragma once

#include <gtest/gtest.h>

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

// A fixture (over `Base`, e.g. a parameterised test) holding the built executable
// loaded for its resources; a test is skipped when the executable is not given.
template <typename Base = ::testing::Test>
class BuiltExecutableTest : public Base {
 protected:
  void SetUp() override {
    const std::wstring path = SetupExecutablePath();
    if (path.empty()) GTEST_SKIP() << "KORVANA_SETUP_EXE is not set";
    module_.reset(::LoadLibraryExW(path.c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    ASSERT_TRUE(module_) << "cannot load the executable, error " << ::GetLastError();
  }

  // The raw bytes of one resource in `language` (by default the neutral one, which
  // the loader resolves to the only language there is); empty when there is none.
  std::string ResourceBytes(LPCWSTR type, WORD id,
                            WORD language = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL)) {
    HRSRC found = ::FindResourceExW(module_.get(), type, MAKEINTRESOURCEW(id), language);
    if (found == nullptr) return {};
    const void* data = ::LockResource(::LoadResource(module_.get(), found));
    if (data == nullptr) return {};
    return std::string(static_cast<const char*>(data), ::SizeofResource(module_.get(), found));
  }

  UniqueLoadedModule module_;
};

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
