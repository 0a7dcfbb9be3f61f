// Files, folders and the environment, against the real system.
#include <gtest/gtest.h>

#include "platform/win32/windows_api.h"  // first: <windows.h> made to live beside the seam

#include <sddl.h>

#include <algorithm>
#include <set>

#include "browser_offer/download_folder.h"
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
    Read<std::wstring> expected;
  };
  const Case cases[] = {
      {L"C:\\Temp", {true, L"C:\\Temp", 0}},
      {nullptr, {false, L"", ERROR_ENVVAR_NOT_FOUND}},
      // Set but empty: the read returns 0 without an error of its own.
      {L"", {false, L"", 0}},
      {longValue.c_str(), {true, longValue, 0}},
  };
  Win32Environment environment;
  for (const Case& c : cases) {
    ::SetEnvironmentVariableW(L"KORVANA_TEST_VARIABLE", c.value);
    ::SetLastError(ERROR_ACCESS_DENIED);  // a stale code must not leak into the answer
    const Read<std::wstring> read = environment.GetVariable(L"KORVANA_TEST_VARIABLE");
    EXPECT_EQ(read.ok, c.expected.ok) << (c.value ? c.value : L"(unset)");
    EXPECT_EQ(read.value, c.expected.value);
    EXPECT_EQ(read.status, c.expected.status) << (c.value ? c.value : L"(unset)");
  }
  ::SetEnvironmentVariableW(L"KORVANA_TEST_VARIABLE", nullptr);
}

TEST(Win32SystemFolders, WindowsFolderHoldsTheSystemFolder) {
  Win32FileSystem files;
  const Read<std::wstring> system = files.GetSystemDirectory();
  ASSERT_TRUE(system.ok);
  EXPECT_TRUE(files.Exists(system.value)) << system.value;
  const Read<std::wstring> windows = files.GetWindowsDirectory();
  ASSERT_TRUE(windows.ok);
  EXPECT_TRUE(EqualsIgnoringAsciiCase(system.value, windows.value + L"\\system32")) << system.value;
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

TEST(Win32FileWrites, CreateWriteClose) {
  testing::TemporaryFolder folder(L"korvana-write-test");
  Win32FileSystem files;

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

  // Failures are 0, never INVALID_HANDLE_VALUE, with their error where it is asked for.
  EXPECT_EQ(files.CreateFile(path, GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL), FileToken{});
  EXPECT_EQ(files.CreateFile(folder.Child(L"missing\\x.exe"), GENERIC_WRITE, 0, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL),
            FileToken{});
  const struct {
    std::wstring path;
    std::uint32_t access, share, disposition;
    Status error;
  } failures[] = {
      {path, GENERIC_WRITE, 0, CREATE_NEW, ERROR_FILE_EXISTS},
      {folder.Child(L"absent.msi"), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
      {folder.Child(L"missing\\x.exe"), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
  };
  for (const auto& failure : failures) {
    Status error = 0;
    EXPECT_EQ(files.CreateFile(failure.path, failure.access, failure.share, failure.disposition,
                               FILE_ATTRIBUTE_NORMAL, &error),
              FileToken{});
    EXPECT_EQ(error, failure.error) << ::testing::PrintToString(failure.path);
  }
  // A file held with read sharing only: a writer is refused, with its error.
  const FileToken held =
      files.CreateFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
  ASSERT_TRUE(IsOpen(held));
  Status error = 0;
  EXPECT_EQ(files.CreateFile(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, &error),
            FileToken{});
  EXPECT_EQ(error, static_cast<Status>(ERROR_SHARING_VIOLATION));
  files.CloseFile(held);
}

// The download folder's descriptor as Windows reads it (Wine keeps no DACL on a folder,
// so what a folder made with it carries cannot be read back here): protected, and
// exactly two entries, full control for Administrators and SYSTEM, each inherited
// by files and folders below.
TEST(Win32SecuredFolder, TheDownloadFolderDescriptorGrantsAdministratorsAndSystemOnly) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
      kDownloadFolderSecurity, SDDL_REVISION_1, &descriptor, nullptr))
      << ::GetLastError();
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(::GetSecurityDescriptorControl(descriptor, &control, &revision));
  EXPECT_EQ(control & (SE_DACL_PRESENT | SE_DACL_PROTECTED), SE_DACL_PRESENT | SE_DACL_PROTECTED);
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  ASSERT_TRUE(::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
  ASSERT_TRUE(present && dacl != nullptr);
  ASSERT_EQ(dacl->AceCount, 2);
  std::set<std::wstring> trustees;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* entry = nullptr;
    ASSERT_TRUE(::GetAce(dacl, i, &entry));
    const auto* ace = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
    EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(ace->Header.AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
    EXPECT_EQ(ace->Mask, static_cast<ACCESS_MASK>(FILE_ALL_ACCESS));
    wchar_t* sid = nullptr;
    ASSERT_TRUE(::ConvertSidToStringSidW(const_cast<DWORD*>(&ace->SidStart), &sid));
    trustees.insert(sid);
    ::LocalFree(sid);
  }
  EXPECT_EQ(trustees, (std::set<std::wstring>{L"S-1-5-32-544", L"S-1-5-18"}));  // BA, SY
  ::LocalFree(descriptor);
}

TEST(Win32SecuredFolder, MadeOnlyNewAndRemovedOnlyEmpty) {
  Win32FileSystem files;
  const Read<std::wstring> windows = files.GetWindowsDirectory();
  ASSERT_TRUE(windows.ok);
  std::uint8_t random[8] = {};
  ASSERT_TRUE(files.FillRandom(random, sizeof random));
  std::wstring folder = windows.value + L"\\Temp\\korvana-unit-";
  for (std::uint8_t byte : random) folder += std::to_wstring(byte);
  const std::wstring file = folder + L"\\installer.exe";

  EXPECT_EQ(files.CreateSecuredFolder(folder, kDownloadFolderSecurity), 0u);
  EXPECT_TRUE(files.Exists(folder));
  // Never a folder that is there already, nor a file of that name.
  EXPECT_EQ(files.CreateSecuredFolder(folder, kDownloadFolderSecurity),
            static_cast<Status>(ERROR_ALREADY_EXISTS));
  const FileToken written = files.CreateFile(file, GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
  ASSERT_TRUE(IsOpen(written));
  EXPECT_TRUE(files.WriteFile(written, "MZ", 2));
  files.CloseFile(written);
  EXPECT_EQ(files.CreateSecuredFolder(file, kDownloadFolderSecurity),
            static_cast<Status>(ERROR_ALREADY_EXISTS));
  // A descriptor that does not convert makes no folder.
  EXPECT_NE(files.CreateSecuredFolder(folder + L"-bad", L"D:P(A;;XX;;;nobody"), 0u);
  EXPECT_FALSE(files.Exists(folder + L"-bad"));

  EXPECT_EQ(files.RemoveFolder(folder), static_cast<Status>(ERROR_DIR_NOT_EMPTY));
  EXPECT_TRUE(files.DeleteFile(file));
  EXPECT_EQ(files.RemoveFolder(folder), 0u);
  EXPECT_FALSE(files.Exists(folder));
  EXPECT_EQ(files.RemoveFolder(folder), static_cast<Status>(ERROR_FILE_NOT_FOUND));
}

TEST(Win32Random, FillsWhatItIsGivenAnewEachTime) {
  Win32FileSystem files;
  std::uint8_t first[16] = {}, second[16] = {};
  ASSERT_TRUE(files.FillRandom(first, sizeof first));
  ASSERT_TRUE(files.FillRandom(second, sizeof second));
  EXPECT_NE(std::string(first, first + 16), std::string(second, second + 16));
  EXPECT_NE(std::string(first, first + 16), std::string(16, '\0'));
  EXPECT_TRUE(files.FillRandom(first, 0));
  // Where Windows keeps RtlGenRandom in cryptbase.dll, that came from System32.
  if (HMODULE cryptbase = ::GetModuleHandleW(L"cryptbase.dll")) {
    const Read<std::wstring> system = files.GetSystemDirectory();
    ASSERT_TRUE(system.ok);
    EXPECT_TRUE(EqualsIgnoringAsciiCase(ReadModuleFileName(cryptbase), system.value + L"\\cryptbase.dll"))
        << ReadModuleFileName(cryptbase);
  }
}

}  // namespace
}  // namespace korvana::win32
