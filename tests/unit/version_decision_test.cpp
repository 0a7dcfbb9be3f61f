#include "packages/version_comparison.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <cwchar>
#include <limits>
#include <string>
#include <vector>

#include "package_test_support.h"

namespace korvana {
namespace {

using testing::kErrorCaptionText;
using testing::kErrorStyle;
using testing::PackageFake;

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

// ---- ParseVersionQuad ---------------------------------------------------------------

TEST(ParseVersionQuad, ReadsLikeTheFourFieldScan) {
  struct Case {
    std::wstring text;
    std::int64_t first, second, third, fourth;
  };
  const std::vector<Case> cases = {
      {L"2.0.13", 2, 0, 13, 0},
      {L"2.0.13.0", 2, 0, 13, 0},
      {L"2", 2, 0, 0, 0},
      {L"", 0, 0, 0, 0},
      {L"v2.0.13", 0, 0, 0, 0},           // must begin with a number
      {L"1.2.3.4.5", 1, 2, 3, 4},         // text after the fourth number ignored
      {L"1.2.3.4 beta", 1, 2, 3, 4},
      {L"2..3", 2, 0, 0, 0},              // a dot, then no number: stop
      {L"1.2.", 1, 2, 0, 0},
      {L".5", 0, 0, 0, 0},
      {L"1,2", 1, 0, 0, 0},
      {L"2.x.3", 2, 0, 0, 0},
      {L"0x10.1", 0, 0, 0, 0},            // decimal only: the 0 is read, "x" stops
      {L"007.010", 7, 10, 0, 0},          // no octal
      // White space before a number is skipped, before a dot it is not.
      {L" \t\n2.0", 2, 0, 0, 0},
      {L"2. 3.\t4", 2, 3, 4, 0},
      {L"2 .3", 2, 0, 0, 0},
      {L"\u00A02.0", 0, 0, 0, 0},         // only the C locale's white space counts
      {L"\uFF12.0", 0, 0, 0, 0},          // full-width digits are not digits
      // Signs.
      {L"-1.-2.+3.4", -1, -2, 3, 4},
      {L"+5", 5, 0, 0, 0},
      {L"--5", 0, 0, 0, 0},
      {L"+-5", 0, 0, 0, 0},
      {L"- 5", 0, 0, 0, 0},
      {L"5-.1", 5, 0, 0, 0},
      {std::wstring(L"1\0.2", 4), 1, 0, 0, 0},  // a null ends the text
      // Beyond 64 bits: saturated, every digit consumed, the scan goes on.
      {L"9223372036854775807", kMax, 0, 0, 0},
      {L"9223372036854775808", kMax, 0, 0, 0},
      {L"-9223372036854775808", kMin, 0, 0, 0},
      {L"-9223372036854775809", kMin, 0, 0, 0},
      {L"18446744073709551617.1", kMax, 1, 0, 0},  // would be 1 if it wrapped
      {L"1.99999999999999999999999999.-99999999999999999999999.4", 1, kMax, kMin, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
    const VersionQuad v = ParseVersionQuad(c.text);
    EXPECT_EQ(v.first, c.first);
    EXPECT_EQ(v.second, c.second);
    EXPECT_EQ(v.third, c.third);
    EXPECT_EQ(v.fourth, c.fourth);
  }
}

TEST(VersionKey, PacksSixteenBitFieldsAndWrapsInSixtyFourBits) {
  struct Case {
    VersionQuad version;
    std::int64_t key;
  };
  const Case cases[] = {
      {{0, 0, 0, 0}, 0},
      {{2, 0, 13, 0}, (std::int64_t{2} << 48) | (13 << 16)},
      {{1, 65536, 0, 0}, std::int64_t{2} << 48},  // carries into the field before
      {{32767, 65535, 65535, 65535}, kMax},
      {{32768, 0, 0, 0}, kMin},                    // a first field from 32768 is negative
      {{65535, 65535, 65535, 65535}, -1},
      {{-1, 0, 0, 0}, -(std::int64_t{1} << 48)},
      {{0, 0, 0, -1}, -1},
      {{kMax, kMax, kMax, kMax}, 9223090557583032319},
      {{kMin, kMin, kMin, kMin}, kMin},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version.first);
    EXPECT_EQ(VersionKey(c.version), c.key);
  }
}

// ---- CompareVersions ----------------------------------------------------------------

const std::wstring kPackage = L"C:\\setup\\x64-rus-sivetcom.msi";
const std::wstring kInstalledCode = L"{99999999-8888-7777-6666-555555555555}";
const wchar_t kSuffix[] = L"sivetcom*.msi";

void Scene(PackageFake& fake, const std::wstring& installed, const std::wstring& fresh) {
  fake.AddFolder(L"C:\\setup");
  fake.AddPackage(kPackage, {{L"ProductName", L"Korvana Plugin"}, {L"ProductVersion", fresh}});
  fake.products.push_back({kInstalledCode, L"{UPGRADE}", installed});
}

struct Decision {
  Status status = 0;
  VersionFindings found;
};

Decision Decide(PackageFake& fake, bool silent,
                VersionComparison initial = VersionComparison::PackageNewer) {
  PackageLocator locator(fake.platform());
  Decision d;
  d.found.comparison = initial;
  d.status = CompareVersions(fake.platform(), locator, kInstalledCode, kSuffix,
                             Boxes(fake.platform(), silent), d.found);
  return d;
}

TEST(CompareVersions, ComparesTheKeysOfBothVersions) {
  struct Case {
    const wchar_t* installed;
    const wchar_t* fresh;
    VersionComparison outcome;
  };
  const Case cases[] = {
      {L"2.0.13", L"2.0.13.0", VersionComparison::Same},
      {L"2.0.13", L"2.0.14", VersionComparison::PackageNewer},
      {L"2.0.14", L"2.0.13", VersionComparison::InstalledNewer},
      {L"2.0.65535", L"2.1", VersionComparison::PackageNewer},
      {L"2.1", L"1.65537", VersionComparison::Same},  // equal keys
      {L"2.0.9", L"2.0.10", VersionComparison::PackageNewer},  // numbers, not text
      {L"abc", L"0.0.0.1", VersionComparison::PackageNewer},   // a letter first: key 0
      {L"1.0", L"beta", VersionComparison::InstalledNewer},
      {L"32768.0", L"1.0", VersionComparison::PackageNewer},   // installed key negative
      {L" 2.0", L"+2.0.0.0", VersionComparison::Same},
      {L"", L"0", VersionComparison::Same},  // an empty installed version: key 0
  };
  for (const Case& c : cases) {
    for (bool silent : {false, true}) {
      SCOPED_TRACE(std::string(c.installed, c.installed + std::wcslen(c.installed)) + " -> " +
                   std::string(c.fresh, c.fresh + std::wcslen(c.fresh)) +
                   (silent ? ", silent" : ""));
      PackageFake fake;
      Scene(fake, c.installed, c.fresh);
      const VersionComparison initial = c.outcome == VersionComparison::PackageNewer
                                            ? VersionComparison::InstalledNewer
                                            : VersionComparison::PackageNewer;
      const Decision d = Decide(fake, silent, initial);
      EXPECT_EQ(d.status, 0u);
      EXPECT_EQ(d.found.comparison, c.outcome);
      EXPECT_EQ(d.found.installedVersion, c.installed);
      EXPECT_EQ(d.found.productName, L"Korvana Plugin");
      EXPECT_EQ(d.found.productVersion, c.fresh);
      EXPECT_TRUE(fake.boxes.empty());  // the comparison asks nothing
      EXPECT_EQ(fake.openMsiHandles, 1);
      EXPECT_EQ(fake.closedMsiHandles, 1);
    }
  }
}

TEST(CompareVersions, EveryFailureWithItsMessageAndStatus) {
  struct Case {
    const char* name;
    std::function<void(PackageFake&)> setup;
    Status status;
    const wchar_t* message;
    bool packageOpened;
  };
  const auto scene = [](PackageFake& f) { Scene(f, L"2.0.13", L"2.0.14"); };
  const std::vector<Case> cases = {
      {"length query fails: status 1, not the installer's",
       [&](PackageFake& f) {
         scene(f);
         f.productInfoLengthStatus = 1610;
       },
       1, L"Невозможно узнать версию установленного msi-пакета.", false},
      {"installed product unknown",
       [&](PackageFake& f) {
         scene(f);
         f.products.clear();
       },
       1, L"Невозможно узнать версию установленного msi-пакета.", false},
      {"value query fails: its own status",
       [&](PackageFake& f) {
         scene(f);
         f.productInfoValueStatus = 1610;
       },
       1610, L"Невозможно узнать версию установленного msi-пакета.", false},
      {"new package not found",
       [](PackageFake& f) { f.products.push_back({kInstalledCode, L"{UPGRADE}", L"2.0.13"}); },
       232, L"Невозможно найти полный путь установленного msi-пакета.", false},
      {"new package cannot be opened",
       [&](PackageFake& f) {
         scene(f);
         f.packages[kPackage].openStatus = 1620;
       },
       1620, L"Невозможно открыть новый msi-пакет.", false},
      {"new product name unreadable",
       [&](PackageFake& f) {
         scene(f);
         f.failingProperties[L"ProductName"] = 1615;
       },
       1615, L"Невозможно узнать версию нового msi-пакета.", true},
      {"new product version unreadable",
       [&](PackageFake& f) {
         scene(f);
         f.failingProperties[L"ProductVersion"] = 1615;
       },
       1615, L"Невозможно узнать версию нового msi-пакета.", true},
  };
  for (const Case& c : cases) {
    for (bool silent : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (silent ? ", silent" : ""));
      PackageFake fake;
      c.setup(fake);
      const Decision d = Decide(fake, silent, VersionComparison::InstalledNewer);
      EXPECT_EQ(d.status, c.status);
      EXPECT_EQ(d.found.comparison, VersionComparison::InstalledNewer);  // untouched on failure
      EXPECT_EQ(fake.openMsiHandles, c.packageOpened ? 1 : 0);
      EXPECT_EQ(fake.closedMsiHandles, fake.openMsiHandles);
      if (silent) {
        EXPECT_TRUE(fake.boxes.empty());
        continue;
      }
      ASSERT_EQ(fake.boxes.size(), 1u);
      EXPECT_EQ(fake.boxes[0].owner, Owner::None);
      EXPECT_EQ(fake.boxes[0].text, c.message);
      EXPECT_EQ(fake.boxes[0].caption, kErrorCaptionText);
      EXPECT_EQ(fake.boxes[0].style, kErrorStyle);
    }
  }
}

TEST(CompareVersions, AskedTheLengthThenTheValueWithRoomForTheNull) {
  // The fake refuses a buffer without room for the null (234), so a wrong size shows.
  PackageFake fake;
  Scene(fake, L"10.20.30.40", L"10.20.30.40");
  const Decision d = Decide(fake, false);
  EXPECT_EQ(d.status, 0u);
  EXPECT_EQ(d.found.installedVersion, L"10.20.30.40");
  const std::vector<std::string> expected = {"MsiGetProductInfo:length",
                                             "MsiGetProductInfo:value"};
  EXPECT_EQ(testing::CallsNamed(fake, expected), expected);
}

}  // namespace
}  // namespace korvana
