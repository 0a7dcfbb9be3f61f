#include "platform/win32/file_system.h"

#include <sys/stat.h>

// advapi32, imported like the registry calls: a known DLL, always from System32.
#include <sddl.h>

#include "platform/win32/unique_handle.h"

namespace korvana::win32 {
namespace {

using RtlGenRandomFunction = BOOLEAN(WINAPI*)(PVOID buffer, ULONG size);

// The longest path Windows can hand out, with its terminating null.
constexpr DWORD kLongestPath = 32768;

// A Win32 "read text into a buffer" call that answers the characters written (without
// the null) when the text fits, else the size it needs (with the null); 0 on failure.
template <typename Call>
Read<std::wstring> ReadGrowing(DWORD initialCapacity, Call read) {
  std::wstring buffer(initialCapacity, L'\0');
  for (;;) {
    ::SetLastError(0);
    const DWORD result = read(&buffer[0], static_cast<DWORD>(buffer.size()));
    if (result == 0) return {false, {}, ::GetLastError()};
    if (result < buffer.size()) {
      buffer.resize(result);
      return {true, std::move(buffer), 0};
    }
    // Too small (or the text grew since the last call): take the size it asked for,
    // and always grow, so that no answer can keep us here.
    if (buffer.size() >= kLongestPath) return {false, {}, ERROR_INSUFFICIENT_BUFFER};
    const DWORD next = result > buffer.size() ? result : static_cast<DWORD>(buffer.size()) + 1;
    buffer.assign(next < kLongestPath ? next : kLongestPath, L'\0');
  }
}

}  // namespace

std::wstring ReadModuleFileName(HMODULE module, DWORD initialCapacity) {
  // A truncated answer fills the buffer completely (and, before Vista, carries no
  // null), so a full buffer means "try a larger one".
  std::wstring buffer(initialCapacity == 0 ? 1 : initialCapacity, L'\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(module, &buffer[0], static_cast<DWORD>(buffer.size()));
    if (length < buffer.size() || buffer.size() >= kLongestPath) {
      buffer.resize(length < buffer.size() ? length : buffer.size());
      return buffer;
    }
    buffer.assign(buffer.size() * 2 < kLongestPath ? buffer.size() * 2 : kLongestPath, L'\0');
  }
}

std::wstring Win32FileSystem::ModulePath() { return ReadModuleFileName(nullptr); }

std::vector<FolderEntry> Win32FileSystem::ListEntries(const std::wstring& pattern) {
  std::vector<FolderEntry> entries;
  WIN32_FIND_DATAW data{};
  UniqueFindHandle search(::FindFirstFileW(pattern.c_str(), &data));
  if (!search) return entries;
  do {
    entries.push_back({data.cFileName, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (::FindNextFileW(search.get(), &data));
  return entries;
}

bool Win32FileSystem::Exists(const std::wstring& path) {
  struct _stat info;
  return ::_wstat(path.c_str(), &info) == 0;
}

bool Win32FileSystem::DeleteFile(const std::wstring& path) {
  return ::DeleteFileW(path.c_str()) != FALSE;
}

Read<std::wstring> Win32FileSystem::GetWindowsDirectory() {
  wchar_t buffer[MAX_PATH];
  const UINT length = ::GetWindowsDirectoryW(buffer, MAX_PATH);
  // A longer folder does not fit: the call then answers the size it would need and
  // leaves the buffer unwritten.
  if (length == 0 || length >= MAX_PATH) return {};
  return {true, std::wstring(buffer, length), 0};
}

Read<std::wstring> Win32FileSystem::GetSystemDirectory() {
  return ReadGrowing(MAX_PATH, [](wchar_t* buffer, DWORD size) {
    return static_cast<DWORD>(::GetSystemDirectoryW(buffer, size));
  });
}

Read<std::wstring> Win32Environment::GetVariable(const std::wstring& name) {
  // First the size (with the null), then the read. A variable that is set but empty
  // reads as 0 characters with no error set: SetLastError(0) keeps a stale code from
  // being reported for it.
  ::SetLastError(0);
  const DWORD size = ::GetEnvironmentVariableW(name.c_str(), nullptr, 0);
  if (size == 0) return {false, {}, ::GetLastError()};
  return ReadGrowing(size, [&name](wchar_t* buffer, DWORD capacity) {
    return ::GetEnvironmentVariableW(name.c_str(), buffer, capacity);
  });
}

Status Win32FileSystem::CreateFolder(const std::wstring& path) {
  return ::CreateDirectoryW(path.c_str(), nullptr) ? 0 : ::GetLastError();
}

Read<std::wstring> Win32Environment::Expand(const std::wstring& text) {
  // Both calls count the terminating null; a text that grew between them is refused.
  ::SetLastError(0);
  const DWORD size = ::ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
  if (size == 0) return {false, {}, ::GetLastError()};
  std::wstring buffer(size, L'\0');
  const DWORD written = ::ExpandEnvironmentStringsW(text.c_str(), &buffer[0], size);
  if (written == 0) return {false, {}, ::GetLastError()};
  if (written > size) return {false, {}, ERROR_INSUFFICIENT_BUFFER};
  buffer.resize(written - 1);
  return {true, std::move(buffer), 0};
}

Read<std::wstring> Win32FileSystem::GetCurrentDirectory() {
  // The size (with the null) first, then the read; the folder may change between the
  // two, which the growing read absorbs.
  ::SetLastError(0);
  const DWORD size = ::GetCurrentDirectoryW(0, nullptr);
  if (size == 0) return {false, {}, ::GetLastError()};
  return ReadGrowing(size, [](wchar_t* buffer, DWORD capacity) {
    return ::GetCurrentDirectoryW(capacity, buffer);
  });
}

FileToken Win32FileSystem::CreateFile(const std::wstring& path, std::uint32_t access,
                                      std::uint32_t share, std::uint32_t disposition,
                                      std::uint32_t attributes, Status* error) {
  HANDLE file = ::CreateFileW(path.c_str(), access, share, nullptr, disposition, attributes,
                              nullptr);
  // CreateFileW's "no file" is INVALID_HANDLE_VALUE; the seam's is 0.
  if (file == INVALID_HANDLE_VALUE) {
    if (error != nullptr) *error = ::GetLastError();
    return FileToken{};
  }
  return ToToken<FileToken>(file);
}

bool Win32FileSystem::WriteFile(FileToken file, const void* data, std::uint32_t size) {
  DWORD written = 0;
  return ::WriteFile(FromToken<HANDLE>(file), data, size, &written, nullptr) != FALSE &&
         written == size;
}

void Win32FileSystem::CloseFile(FileToken file) { ::CloseHandle(FromToken<HANDLE>(file)); }

Status Win32FileSystem::CreateSecuredFolder(const std::wstring& path, const std::wstring& sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                              &descriptor, nullptr))
    return ::GetLastError();
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  const Status status =
      ::CreateDirectoryW(path.c_str(), &attributes) ? ERROR_SUCCESS : ::GetLastError();
  ::LocalFree(descriptor);
  return status;
}

Status Win32FileSystem::RemoveFolder(const std::wstring& path) {
  return ::RemoveDirectoryW(path.c_str()) ? ERROR_SUCCESS : ::GetLastError();
}

bool Win32FileSystem::FillRandom(void* buffer, std::uint32_t size) {
  auto generate = cryptbase_.Find<RtlGenRandomFunction>("SystemFunction036");
  if (cryptbase_.Get() == nullptr)
    generate = FindExport<RtlGenRandomFunction>(::GetModuleHandleW(L"advapi32.dll"), "SystemFunction036");
  return generate != nullptr && generate(buffer, size) != FALSE;
}

}  // namespace korvana::win32
