// msi.dll reached at run time: from System32, and failing cleanly when it is not there.
#include <gtest/gtest.h>

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
  wchar_t buffer[39] = L"";
  std::uint32_t size = 39;
  EXPECT_EQ(msi.GetProperty(MsiToken{1}, L"ProductCode", buffer, &size), expected);
  EXPECT_EQ(msi.EnumRelatedProducts(kUnknownCode, 0, buffer), expected);
  EXPECT_EQ(msi.GetProductInfo(kUnknownCode, L"VersionString", nullptr, &size), expected);
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
  const TextRead system = Win32FileSystem().GetSystemDirectory();
  ASSERT_TRUE(system.ok);
  EXPECT_TRUE(EqualsIgnoringAsciiCase(ReadModuleFileName(library), system.value + L"\\msi.dll"))
      << ReadModuleFileName(library);
}

TEST(Win32WindowsInstaller, AnswersForUnknownProductsAndPackages) {
  Win32WindowsInstaller msi;
  msi.SetInternalUI(2);  // INSTALLUILEVEL_NONE
  wchar_t product[39] = L"";
  EXPECT_EQ(msi.EnumRelatedProducts(kUnknownCode, 0, product), 259u);  // ERROR_NO_MORE_ITEMS
  EXPECT_EQ(msi.QueryProductState(kUnknownCode), -1);                   // INSTALLSTATE_UNKNOWN
  std::uint32_t size = 0;
  EXPECT_EQ(msi.GetProductInfo(kUnknownCode, L"VersionString", nullptr, &size),
            1605u);  // ERROR_UNKNOWN_PRODUCT
  MsiToken handle{};
  EXPECT_NE(msi.OpenPackageEx(L"C:\\korvana-no-such-package.msi", 1, &handle), 0u);
  EXPECT_EQ(handle, MsiToken{});
}

}  // namespace
}  // namespace korvana::win32
