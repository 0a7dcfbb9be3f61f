// Files, folders and the environment, against the real system.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/win32/file_system.h"
#include "support/text.h"
#include "win32/win32_test_support.h"

namespace korvana::win32 {
namespace {

TEST(Win32ModulePath, GrowsUntilTheWholePathFits) {
  const std::wstring full = ReadModuleFileName(nullptr, 32768);
  ASSERT_GT(full.size(), 10u);
  EXPECT_TRUE(EqualsIgnoringAsciiCase(full.substr(full.size() - 22), L"korvana_unit_tests.exe"))
      << full;
  // Starting far too small must still end with the whole path, never a cut one.
  const DWORD length = static_cast<DWORD>(full.size());
  for (DWORD start : {DWORD{0}, DWORD{1}, DWORD{2}, DWORD{7}, length, length + 1}) {
    EXPECT_EQ(ReadModuleFileName(nullptr, start), full) << start;
  }
  EXPECT_EQ(Win32FileSystem().ModulePath(), full);
}

TEST(Win32EnvironmentVariable, ValueMissingEmptyAndLong) {
  const std::wstring longValue(5000, L'x');
  struct Case {
    const wchar_t* value;  // null: not set
    TextRead expected;
  };
  const Case cases[] = {
      {L"C:\\Temp", {true, L"C:\\Temp", 0}},
      {nullptr, {false, L"", ERROR_ENVVAR_NOT_FOUND}},
      // Set but empty: the read returns 0 without an error of its own.
      {L"", {false, L"", 0}},
      {longValue.c_str(), {true, longValue, 0}},
  };
  Win32FileSystem files;
  for (const Case& c : cases) {
    ::SetEnvironmentVariableW(L"KORVANA_TEST_VARIABLE", c.value);
    ::SetLastError(ERROR_ACCESS_DENIED);  // a stale code must not leak into the answer
    const TextRead read = files.GetEnvironmentVariable(L"KORVANA_TEST_VARIABLE");
    EXPECT_EQ(read.ok, c.expected.ok) << (c.value ? c.value : L"(unset)");
    EXPECT_EQ(read.value, c.expected.value);
    EXPECT_EQ(read.lastError, c.expected.lastError) << (c.value ? c.value : L"(unset)");
  }
  ::SetEnvironmentVariableW(L"KORVANA_TEST_VARIABLE", nullptr);
}

TEST(Win32SystemFolders, WindowsFolderHoldsTheSystemFolder) {
  Win32FileSystem files;
  const TextRead system = files.GetSystemDirectory();
  ASSERT_TRUE(system.ok);
  EXPECT_TRUE(files.Exists(system.value)) << system.value;
  const std::optional<std::wstring> windows = files.GetWindowsDirectory();
  ASSERT_TRUE(windows.has_value());
  EXPECT_TRUE(EqualsIgnoringAsciiCase(system.value, *windows + L"\\system32")) << system.value;
}

TEST(Win32FolderSearch, ListingExistsAndDelete) {
  testing::TemporaryFolder folder(L"korvana-fs-test");
  folder.AddFile(L"sivetcom-x64.msi");
  folder.AddFile(L"notes.txt");
  folder.AddFolder(L"sub");
  Win32FileSystem files;

  const std::vector<FolderEntry> x64 = files.ListEntries(folder.Child(L"*x64**.msi"));
  ASSERT_EQ(x64.size(), 1u);
  EXPECT_EQ(x64[0].name, L"sivetcom-x64.msi");
  EXPECT_TRUE(files.ListEntries(folder.Child(L"*arm64*")).empty());
  EXPECT_TRUE(files.ListEntries(folder.Child(L"no-such-folder\\*")).empty());

  std::vector<FolderEntry> entries = files.ListEntries(folder.Child(L"*"));
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  ASSERT_EQ(entries.size(), 5u);
  const std::pair<const wchar_t*, bool> expected[] = {
      {L".", true}, {L"..", true}, {L"notes.txt", false}, {L"sivetcom-x64.msi", false},
      {L"sub", true}};
  for (std::size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].name, expected[i].first);
    EXPECT_EQ(entries[i].directory, expected[i].second) << entries[i].name;
  }
  EXPECT_TRUE(files.ListEntries(folder.Child(L"no-such-folder\\*")).empty());

  const std::wstring file = folder.Child(L"notes.txt");
  EXPECT_TRUE(files.Exists(file));
  EXPECT_TRUE(files.Exists(folder.Child(L"sub")));
  EXPECT_TRUE(files.DeleteFile(file));
  EXPECT_FALSE(files.Exists(file));
  EXPECT_FALSE(files.DeleteFile(file));
}

TEST(Win32FileWrites, CreateWriteCloseInTheCurrentFolder) {
  testing::TemporaryFolder folder(L"korvana-write-test");
  Win32FileSystem files;

  const TextRead before = files.GetCurrentDirectory();
  ASSERT_TRUE(before.ok);
  ASSERT_TRUE(::SetCurrentDirectoryW(folder.path().c_str()));
  const TextRead current = files.GetCurrentDirectory();
  ::SetCurrentDirectoryW(before.value.c_str());
  EXPECT_TRUE(current.ok);
  EXPECT_TRUE(EqualsIgnoringAsciiCase(current.value, folder.path())) << current.value;

  const std::wstring path = folder.Child(L"installer.exe");
  const FileToken file =
      files.CreateFile(path, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
  ASSERT_TRUE(IsOpen(file));
  const std::string body(100000, 'x');
  EXPECT_TRUE(files.WriteFile(file, "MZ", 2));
  EXPECT_TRUE(files.WriteFile(file, body.data(), static_cast<std::uint32_t>(body.size())));
  EXPECT_TRUE(files.WriteFile(file, "", 0));
  files.CloseFile(file);

  const FileToken reader =
      files.CreateFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
  ASSERT_TRUE(IsOpen(reader));
  EXPECT_FALSE(files.WriteFile(reader, "y", 1)) << "a read-only handle took a write";
  LARGE_INTEGER size{};
  EXPECT_TRUE(::GetFileSizeEx(reinterpret_cast<HANDLE>(reader), &size));
  EXPECT_EQ(size.QuadPart, 2 + static_cast<LONGLONG>(body.size()));
  files.CloseFile(reader);

  // Failures are 0, never INVALID_HANDLE_VALUE.
  EXPECT_EQ(files.CreateFile(path, GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL), FileToken{});
  EXPECT_EQ(files.CreateFile(folder.Child(L"missing\\x.exe"), GENERIC_WRITE, 0, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL),
            FileToken{});
}

}  // namespace
}  // namespace korvana::win32
