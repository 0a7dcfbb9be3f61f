// msi.dll reached at run time: from System32, and failing cleanly when it is not there.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "platform/win32/file_system.h"
#include "platform/win32/windows_installer.h"
#include "support/text.h"

namespace korvana::win32 {
namespace {

const wchar_t kUnknownCode[] = L"{6B1D8E34-0F4C-4B61-9D7A-3C2E1F0A9B58}";

// Every operation through an installer whose library lacks what it needs.
void ExpectEveryOperationFails(WindowsInstaller& msi, Status expected) {
  msi.SetInternalUI(2);
  msi.CloseHandle(MsiToken{1});
  MsiToken handle{7};
  EXPECT_EQ(msi.OpenPackageEx(L"C:\\x.msi", 1, &handle), expected);
  EXPECT_EQ(msi.GetProperty(MsiToken{1}, L"ProductCode").status, expected);
  EXPECT_EQ(msi.EnumRelatedProducts(kUnknownCode, 0).status, expected);
  const SizedRead version = msi.GetProductInfo(kUnknownCode, L"VersionString");
  EXPECT_EQ(std::make_pair(version.status, version.lengthRead), std::make_pair(expected, false));
  EXPECT_EQ(msi.GetProductInfoUpTo(kUnknownCode, L"InstalledProductName", 255).status, expected);
  EXPECT_EQ(msi.QueryProductState(kUnknownCode), -1);
  EXPECT_EQ(msi.QueryFeatureState(kUnknownCode, L"NPSIVET"), -1);
  EXPECT_EQ(msi.SourceListClearAll(kUnknownCode), expected);
  EXPECT_EQ(msi.SourceListSetInfo(kUnknownCode, 4, 0, L"PackageName", L"x.msi"), expected);
}

TEST(Win32WindowsInstaller, MissingLibraryGivesModNotFound) {
  Win32WindowsInstaller msi(L"korvana-no-such-library.dll");
  ExpectEveryOperationFails(msi, ERROR_MOD_NOT_FOUND);
}

TEST(Win32WindowsInstaller, LibraryWithoutTheExportsGivesProcNotFound) {
  Win32WindowsInstaller msi(L"version.dll");  // a System32 library, not Windows Installer
  ExpectEveryOperationFails(msi, ERROR_PROC_NOT_FOUND);
}

TEST(Win32WindowsInstaller, LoadsMsiFromTheSystemFolder) {
  Win32WindowsInstaller msi;
  HMODULE library = msi.Library();
  ASSERT_NE(library, nullptr);
  const Read<std::wstring> system = Win32FileSystem().GetSystemDirectory();
  ASSERT_TRUE(system.ok);
  EXPECT_TRUE(EqualsIgnoringAsciiCase(ReadModuleFileName(library), system.value + L"\\msi.dll"))
      << ReadModuleFileName(library);
}

TEST(Win32WindowsInstaller, AnswersForUnknownProductsAndPackages) {
  Win32WindowsInstaller msi;
  msi.SetInternalUI(2);  // INSTALLUILEVEL_NONE
  EXPECT_EQ(msi.EnumRelatedProducts(kUnknownCode, 0).status, 259u);  // ERROR_NO_MORE_ITEMS
  EXPECT_EQ(msi.QueryProductState(kUnknownCode), -1);                 // INSTALLSTATE_UNKNOWN
  const SizedRead version = msi.GetProductInfo(kUnknownCode, L"VersionString");
  EXPECT_EQ(std::make_pair(version.status, version.lengthRead),
            std::make_pair(1605u, false));  // ERROR_UNKNOWN_PRODUCT
  EXPECT_EQ(msi.GetProductInfoUpTo(kUnknownCode, L"VersionString", 255).status, 1605u);
  MsiToken handle{};
  EXPECT_NE(msi.OpenPackageEx(L"C:\\korvana-no-such-package.msi", 1, &handle), 0u);
  EXPECT_EQ(handle, MsiToken{});
}

// MsiGetPropertyW answered from a script, recording the size each call was given.
TEST(ReadPropertyText, TwoCallReadAndWhatEachOutcomeLeaves) {
  struct Reply {
    UINT status;
    DWORD size;            // reported back
    std::wstring written;  // put into the buffer (as far as it reaches), then a null
  };
  struct Case {
    const char* name;
    std::vector<Reply> replies;
    Status status;
    std::wstring value;
    std::vector<DWORD> sizes;
  };
  const std::vector<Case> cases = {
      {"first call succeeds: an empty value", {{0, 0, L""}}, 0, L"", {0}},
      {"first call fails: its status", {{6, 0, L""}}, 6, L"", {0}},
      {"value read with room for its null", {{234, 5, L""}, {0, 5, L"hello"}}, 0, L"hello", {0, 6}},
      {"a short value", {{234, 2, L""}, {0, 2, L"ab"}}, 0, L"ab", {0, 3}},
      {"the value ends at its first null", {{234, 5, L""}, {0, 5, std::wstring(L"ab\0cd", 5)}}, 0,
       L"ab", {0, 6}},
      {"a length without room for the null", {{234, MAXDWORD, L""}}, 234, L"", {0}},
      {"second call fails: its status and what it left", {{234, 4, L""}, {1627, 4, L"ab"}}, 1627,
       L"ab", {0, 5}},
      {"second call fails writing nothing", {{234, 4, L""}, {234, 9, L""}}, 234, L"", {0, 5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::size_t next = 0;
    std::vector<DWORD> sizes;
    const Read<std::wstring> read = ReadPropertyText([&](wchar_t* buffer, DWORD* size) {
      sizes.push_back(*size);
      const Reply& reply = c.replies.at(next++);
      DWORD n = 0;
      for (; n < reply.written.size() && n < *size; ++n) buffer[n] = reply.written[n];
      if (n < *size && !reply.written.empty()) buffer[n] = L'\0';
      *size = reply.size;
      return reply.status;
    });
    EXPECT_EQ(read.ok, c.status == 0);
    EXPECT_EQ(read.status, c.status);
    EXPECT_EQ(read.value, c.value);
    EXPECT_EQ(sizes, c.sizes);
  }
}

}  // namespace
}  // namespace korvana::win32
