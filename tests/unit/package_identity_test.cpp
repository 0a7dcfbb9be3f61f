#include "packages/package_identity.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "package_test_support.h"

namespace korvana {
namespace {

using testing::kErrorCaptionText;
using testing::kErrorStyle;
using testing::PackageFake;

const std::wstring kPackage = L"C:\\setup\\x64-rus-sivetcom.msi";
const std::wstring kProductCode = L"{11111111-2222-3333-4444-555555555555}";
const std::wstring kUpgradeCode = L"{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}";
const std::wstring kInstalledCode = L"{99999999-8888-7777-6666-555555555555}";
const std::wstring kOtherInstalledCode = L"{12345678-8888-7777-6666-555555555555}";

// A machine with the plug-in package beside the executable and the previous
// version installed.
void Scene(PackageFake& fake) {
  fake.AddFolder(L"C:\\setup");
  fake.AddPackage(kPackage, {{L"ProductCode", kProductCode},
                             {L"UpgradeCode", kUpgradeCode},
                             {L"ProductName", L"Korvana Plugin"},
                             {L"ProductVersion", L"2.0.14"}});
  fake.products.push_back({kInstalledCode, kUpgradeCode, L"2.0.13"});
}

// Every handle opened was closed once, and nothing else was closed.
void ExpectHandlesBalanced(const PackageFake& fake, bool opened) {
  EXPECT_EQ(fake.openMsiHandles, opened ? 1 : 0);
  EXPECT_EQ(fake.closedMsiHandles, fake.openMsiHandles);
  if (opened) {
    EXPECT_EQ(fake.closedHandles, std::vector<MsiToken>{MsiToken{0x2000}});
    EXPECT_EQ(fake.calls.back(), "MsiCloseHandle");
  }
}

// ---- Property reads ------------------------------------------------------------------
// The two calls behind a read are the Win32 side's (tests/unit/win32/windows_installer_test).

TEST(GetProperty, ReadsDefinedAndUndefinedPropertiesOfARealPackage) {
  PackageFake fake;
  fake.packages[kPackage] = {{{L"ProductName", L"Korvana Plugin"}}, 0};
  MsiToken handle{};
  ASSERT_EQ(fake.OpenPackageEx(kPackage, 1, &handle), 0u);
  const Read<std::wstring> name = fake.GetProperty(handle, L"ProductName");
  EXPECT_TRUE(name.ok);
  EXPECT_EQ(name.value, L"Korvana Plugin");
  const Read<std::wstring> undefined = fake.GetProperty(handle, L"NoSuchProperty");
  EXPECT_TRUE(undefined.ok);
  EXPECT_EQ(undefined.value, L"");
}

// ---- ReadPackageCode ----------------------------------------------------------------

TEST(ReadPackageCode, StatusCodeAndHandlesForEveryPath) {
  struct Case {
    const char* name;
    std::function<void(PackageFake&)> setup;
    CodeRequest request;
    Status status;
    std::wstring code;
    bool opened;
  };
  const auto own = CodeRequest::OwnProductCode;
  const auto related = CodeRequest::RelatedProductCode;
  const std::vector<Case> cases = {
      {"own product code", Scene, own, 0, kProductCode, true},
      {"own code of the architecture's package, not of one listed earlier",
       [](PackageFake& f) {
         f.AddFolder(L"C:\\setup");
         f.AddFile(L"C:\\setup\\aaa.msi");  // opening this one would fail
         f.AddPackage(L"C:\\setup\\pkg-x64.msi", {{L"ProductCode", kProductCode}});
       },
       own, 0, kProductCode, true},
      {"related product installed", Scene, related, 0, kInstalledCode, true},
      {"two related products: the first enumerated",
       [](PackageFake& f) {
         Scene(f);
         f.products.insert(f.products.begin(), {kOtherInstalledCode, kUpgradeCode, L"1.0"});
       },
       related, 0, kOtherInstalledCode, true},
      {"no related product installed",
       [](PackageFake& f) {
         Scene(f);
         f.products.clear();
         f.products.push_back({kInstalledCode, L"{OTHER-UPGRADE}", L"2.0"});
       },
       related, 259, L"", true},
      {"no package: own", [](PackageFake& f) { f.AddFolder(L"C:\\setup"); }, own, 232, L"", false},
      {"no package: related", [](PackageFake& f) { f.AddFolder(L"C:\\setup"); }, related, 232,
       L"", false},
      {"package cannot be opened",
       [](PackageFake& f) {
         Scene(f);
         f.packages[kPackage].openStatus = 1620;
       },
       own, 1620, L"", false},
      {"product code unreadable",
       [](PackageFake& f) {
         Scene(f);
         f.failingProperties[L"ProductCode"] = 1615;
       },
       own, 1615, L"", true},
      {"upgrade code unreadable",
       [](PackageFake& f) {
         Scene(f);
         f.failingProperties[L"UpgradeCode"] = 1615;
       },
       related, 1615, L"", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PackageFake fake;
    c.setup(fake);
    PackageLocator locator(fake.platform());
    std::wstring code;
    EXPECT_EQ(ReadPackageCode(fake.platform(), locator, c.request, code), c.status);
    EXPECT_EQ(code, c.code);
    ExpectHandlesBalanced(fake, c.opened);
    EXPECT_TRUE(fake.boxes.empty());
  }
}

TEST(ReadPackageCode, AnUnreadableUpgradeCodeIsNeverEnumerated) {
  PackageFake fake;
  Scene(fake);
  fake.failingProperties[L"UpgradeCode"] = 1615;
  PackageLocator locator(fake.platform());
  std::wstring code;
  ReadPackageCode(fake.platform(), locator, CodeRequest::RelatedProductCode, code);
  EXPECT_EQ(std::count(fake.calls.begin(), fake.calls.end(), "MsiEnumRelatedProducts"), 0);
}

// ---- ReadNewPackageInfo -------------------------------------------------------------

TEST(ReadNewPackageInfo, MessagesStatusesAndHandlesForEveryPath) {
  struct Case {
    const char* name;
    std::function<void(PackageFake&)> setup;
    Status status;
    const wchar_t* message;  // null: no box
    bool opened;
  };
  const std::vector<Case> cases = {
      {"name and version read", Scene, 0, nullptr, true},
      {"no package found", [](PackageFake& f) { f.AddFolder(L"C:\\setup"); }, 232,
       L"Невозможно найти полный путь установленного msi-пакета.", false},
      {"package cannot be opened",
       [](PackageFake& f) {
         Scene(f);
         f.packages[kPackage].openStatus = 1620;
       },
       1620, L"Невозможно открыть новый msi-пакет.", false},
      {"product name unreadable",
       [](PackageFake& f) {
         Scene(f);
         f.failingProperties[L"ProductName"] = 1615;
       },
       1615, L"Невозможно узнать версию нового msi-пакета.", true},
      {"product version unreadable",
       [](PackageFake& f) {
         Scene(f);
         f.failingProperties[L"ProductVersion"] = 6;
       },
       6, L"Невозможно узнать версию нового msi-пакета.", true},
      {"product version undefined",
       [](PackageFake& f) {
         Scene(f);
         f.packages[kPackage].properties.erase(L"ProductVersion");
       },
       1620, L"Невозможно узнать версию нового msi-пакета.", true},
  };
  for (const Case& c : cases) {
    for (bool silent : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (silent ? ", silent" : ""));
      PackageFake fake;
      c.setup(fake);
      PackageLocator locator(fake.platform());
      std::wstring name, version;
      EXPECT_EQ(ReadNewPackageInfo(fake.platform(), locator, L"sivetcom*.msi",
                                   Boxes(fake.platform(), silent), name, version),
                c.status);
      ExpectHandlesBalanced(fake, c.opened);
      if (c.status == 0) {
        EXPECT_EQ(name, L"Korvana Plugin");
        EXPECT_EQ(version, L"2.0.14");
      }
      if (c.message == nullptr || silent) {
        EXPECT_TRUE(fake.boxes.empty());
        continue;
      }
      ASSERT_EQ(fake.boxes.size(), 1u);
      EXPECT_EQ(fake.boxes[0].owner, Owner::None);
      EXPECT_EQ(fake.boxes[0].text, c.message);
      EXPECT_EQ(fake.boxes[0].caption, kErrorCaptionText);
      EXPECT_EQ(fake.boxes[0].style, kErrorStyle);
      if (c.opened) {
        // The box is answered while the package is still open.
        auto box = std::find(fake.calls.begin(), fake.calls.end(), "MessageBox");
        auto close = std::find(fake.calls.begin(), fake.calls.end(), "MsiCloseHandle");
        EXPECT_LT(box, close);
      }
    }
  }
}

TEST(ReadNewPackageInfo, ReadsThePackageTheLanguageSearchFinds) {
  PackageFake fake;
  fake.AddFolder(L"C:\\setup");
  fake.AddPackage(L"C:\\setup\\sivetcom.msi", {{L"ProductName", L"Generic"},
                                               {L"ProductVersion", L"1.0"}});
  fake.AddPackage(L"C:\\setup\\x64-eng-sivetcom.msi", {{L"ProductName", L"English"},
                                                       {L"ProductVersion", L"1.1"}});
  fake.AddPackage(L"C:\\setup\\x64-rus-sivetcom.msi", {{L"ProductName", L"Russian"},
                                                       {L"ProductVersion", L"1.2"}});
  PackageLocator locator(fake.platform());
  std::wstring name, version;
  ASSERT_EQ(ReadNewPackageInfo(fake.platform(), locator, L"sivetcom*.msi", Boxes(fake.platform()),
                               name, version),
            0u);
  EXPECT_EQ(name, L"Russian");
  EXPECT_EQ(version, L"1.2");
}

}  // namespace
}  // namespace korvana
