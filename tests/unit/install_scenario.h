// A plug-in package beside the executable and, when wanted, its installed product,
// for the installation-driver tests.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fake_platform.h"
#include "packages/package_locator.h"
#include "resources/text_ids.h"
#include "support/message_box.h"

namespace korvana::testing {

inline const std::wstring kPackagePath = L"C:\\setup\\sivetcom-x64-rus.msi";
inline const std::wstring kPackageName = L"sivetcom-x64-rus.msi";
inline const std::wstring kNewCode = L"{AAAAAAAA-1111-2222-3333-444444444444}";
inline const std::wstring kOtherCode = L"{BBBBBBBB-1111-2222-3333-444444444444}";
inline const std::wstring kUpgradeCode = L"{CCCCCCCC-1111-2222-3333-444444444444}";
inline const std::wstring kStamp = L"2026-12-07-04-36-54";  // the fake clock's time
inline const std::wstring kMsiexecPrefix =
    L"\"C:\\windows\\system32\\msiexec.exe\" /i \"" + kPackagePath + L"\" ";
inline const std::wstring kDefaultLog = L"C:\\temp\\" + kPackageName + L"_" + kStamp + L".log";

inline constexpr int kFeatureLocal = 3;
inline constexpr int kFeatureAbsent = 2;

struct InstallScenario {
  FakePlatform fake;
  PackageLocator locator{fake.platform()};

  // The new package beside the executable (64-bit Windows, Russian UI by default).
  void AddPackage(const std::wstring& code = kNewCode, const std::wstring& version = L"2.0.14",
                  const std::wstring& path = kPackagePath) {
    fake.AddPackage(path, {{L"ProductCode", code},
                           {L"UpgradeCode", kUpgradeCode},
                           {L"ProductName", L"Korvana plug-in"},
                           {L"ProductVersion", version}});
  }
  // A product related to the package by its upgrade code.
  void AddInstalled(const std::wstring& code, const std::wstring& version,
                    int featureState = kFeatureLocal, int state = 5) {
    FakeProduct product;
    product.productCode = code;
    product.upgradeCode = kUpgradeCode;
    product.versionString = version;
    product.state = state;
    product.featureState = featureState;
    fake.msi.products.push_back(product);
  }

  std::wstring Text(std::uint16_t id) { return fake.platform().texts.LoadText(id); }

  // The boxes this driver shows itself: those owned by the owner window (the version
  // decision's boxes have no owner).
  std::vector<RecordedBox> OwnedBoxes() const {
    std::vector<RecordedBox> owned;
    for (const auto& box : fake.ui.boxes)
      if (box.owner == Owner::OwnerWindow) owned.push_back(box);
    return owned;
  }

  // Exactly one error box (caption text::kErrorCaption, owner window) with catalogue
  // text `id`.
  void ExpectOnlyErrorBox(std::uint16_t id) {
    ASSERT_EQ(fake.ui.boxes.size(), 1u);
    EXPECT_EQ(fake.ui.boxes[0].owner, Owner::OwnerWindow);
    EXPECT_EQ(fake.ui.boxes[0].text, Text(id));
    EXPECT_EQ(fake.ui.boxes[0].caption, Text(text::kErrorCaption));
    EXPECT_EQ(fake.ui.boxes[0].style, kErrorBoxStyle);
  }
};

}  // namespace korvana::testing
