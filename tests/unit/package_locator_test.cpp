#include "packages/package_locator.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "package_test_support.h"

namespace korvana {
namespace {

using testing::CallsNamed;
using testing::FakePlatform;
using testing::PackagePatterns;

const std::wstring kUntouched = L"<untouched>";

FolderEntry File(const std::wstring& path) { return {path, false}; }
FolderEntry Dir(const std::wstring& path) { return {path, true}; }

struct FindCase {
  const char* name;
  std::wstring modulePath;
  std::vector<FolderEntry> entries;
  std::wstring pattern;
  Status status;
  std::wstring path;                   // expected; kUntouched when not found
  std::vector<std::wstring> searches;  // every search made, when given
};

TEST(FindPackage, SearchesTheOwnFolderThenItsFirstLevelSubfolders) {
  const std::wstring exe = L"C:\\setup\\korvana-setup.exe";
  const std::vector<FindCase> cases = {
      {"own folder wins over an earlier-listed subfolder", exe,
       {Dir(L"C:\\setup"), Dir(L"C:\\setup\\a"), File(L"C:\\setup\\a\\pkg-x64.msi"),
        File(L"C:\\setup\\z-x64.msi")},
       L"*x64*.msi", 0, L"C:\\setup\\z-x64.msi", {L"C:\\setup\\*x64*.msi"}},
      {"first entry the search returns is taken, not the first by name", exe,
       {Dir(L"C:\\setup"), File(L"C:\\setup\\z-x64.msi"), File(L"C:\\setup\\a-x64.msi")},
       L"*x64*.msi", 0, L"C:\\setup\\z-x64.msi", {}},
      {"a folder matching the pattern is never taken, the package inside it is", exe,
       {Dir(L"C:\\setup"), Dir(L"C:\\setup\\sivetcom_x64"),
        File(L"C:\\setup\\sivetcom_x64\\sivetcom-x64.msi")},
       L"sivetcom*x64*", 0, L"C:\\setup\\sivetcom_x64\\sivetcom-x64.msi", {}},
      {"only folders match: no package", exe,
       {Dir(L"C:\\setup"), Dir(L"C:\\setup\\sivetcom-x64.msi")},
       L"*x64*.msi", 232, kUntouched, {}},
      {"a subfolder is searched when the own folder has nothing", exe,
       {Dir(L"C:\\setup"), File(L"C:\\setup\\readme.txt"), Dir(L"C:\\setup\\packages"),
        File(L"C:\\setup\\packages\\sivetcom-x64.msi")},
       L"*x64*.msi", 0, L"C:\\setup\\packages\\sivetcom-x64.msi",
       {L"C:\\setup\\*x64*.msi", L"C:\\setup\\*", L"C:\\setup\\packages\\*x64*.msi"}},
      {"subfolders are tried in listing order, the first with a match wins", exe,
       {Dir(L"C:\\setup"), Dir(L"C:\\setup\\b"), Dir(L"C:\\setup\\a"),
        File(L"C:\\setup\\a\\one-x64.msi"), File(L"C:\\setup\\b\\two-x64.msi")},
       L"*x64*.msi", 0, L"C:\\setup\\b\\two-x64.msi", {}},
      {"two levels down is never found", exe,
       {Dir(L"C:\\setup"), Dir(L"C:\\setup\\a"), Dir(L"C:\\setup\\a\\b"),
        File(L"C:\\setup\\a\\b\\pkg-x64.msi")},
       L"*x64*.msi", 232, kUntouched,
       {L"C:\\setup\\*x64*.msi", L"C:\\setup\\*", L"C:\\setup\\a\\*x64*.msi"}},
      {"folders beginning with a dot, . and .. are never searched", exe,
       {Dir(L"C:\\setup"), Dir(L"C:\\setup\\.hidden"), File(L"C:\\setup\\.hidden\\pkg-x64.msi")},
       L"*x64*.msi", 232, kUntouched, {L"C:\\setup\\*x64*.msi", L"C:\\setup\\*"}},
      {"a file is not searched as a folder", exe,
       {Dir(L"C:\\setup"), File(L"C:\\setup\\pkgs"), File(L"C:\\setup\\pkgs\\pkg-x64.msi")},
       L"*x64*.msi", 232, kUntouched, {L"C:\\setup\\*x64*.msi", L"C:\\setup\\*"}},
      {"an executable folder that lists nothing", exe, {}, L"*.msi", 232, kUntouched,
       {L"C:\\setup\\*.msi", L"C:\\setup\\*"}},
      {"drive root: the root itself", L"C:\\korvana-setup.exe", {File(L"C:\\pkg-x64.msi")},
       L"*x64*.msi", 0, L"C:\\pkg-x64.msi", {L"C:\\*x64*.msi"}},
      {"drive root: its first-level subfolders", L"C:\\korvana-setup.exe",
       {Dir(L"C:\\sub"), File(L"C:\\sub\\pkg-x64.msi")},
       L"*x64*.msi", 0, L"C:\\sub\\pkg-x64.msi",
       {L"C:\\*x64*.msi", L"C:\\*", L"C:\\sub\\*x64*.msi"}},
      {"path without a backslash: empty folder", L"korvana-setup.exe",
       {File(L"pkg-x64.msi")}, L"*x64*.msi", 0, L"pkg-x64.msi", {L"*x64*.msi"}},
      {"path without a backslash: subfolder of the current folder", L"korvana-setup.exe",
       {Dir(L"sub"), File(L"sub\\pkg-x64.msi")}, L"*x64*.msi", 0, L"sub\\pkg-x64.msi",
       {L"*x64*.msi", L"*", L"sub\\*x64*.msi"}},
  };
  for (const FindCase& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform fake;
    fake.files.modulePath = c.modulePath;
    fake.files.entries = c.entries;
    PackageLocator locator(fake.platform());
    std::wstring path = kUntouched;
    EXPECT_EQ(locator.FindPackage(c.pattern, path), c.status);
    EXPECT_EQ(path, c.path);
    if (!c.searches.empty()) {
      EXPECT_EQ(fake.files.searches, c.searches);
    }
  }
}

TEST(FindPackage, UsesTheWholeModulePathHoweverLong) {
  // Longer than the 260 characters of a classic path buffer: nothing may be cut.
  const std::wstring folder = L"C:\\" + std::wstring(300, L'd');
  FakePlatform fake;
  fake.files.modulePath = folder + L"\\korvana-setup.exe";
  fake.files.AddFolder(folder);
  fake.files.AddFolder(folder + L"\\x64");
  fake.files.AddFile(folder + L"\\x64\\sivetcom-x64.msi");
  PackageLocator locator(fake.platform());
  std::wstring path;
  ASSERT_EQ(locator.FindPackage(L"sivetcom*", path), 0u);
  EXPECT_EQ(path, folder + L"\\x64\\sivetcom-x64.msi");
}

// ---- Probes -------------------------------------------------------------------------

// kernel32 as the probes find it: not at all, without the export asked for, or with it.
enum Kernel32 { kNotFound, kNoExport, kExports };
// IMAGE_FILE_MACHINE_..., and the user interface languages the patterns know.
constexpr std::uint16_t kArm64 = 0xAA64, kAmd64 = 0x8664, kI386 = 0x014C;
constexpr std::uint16_t kRussian = 0x0419, kEnglishUs = 0x0409, kRussianMoldova = 0x0819;

TEST(ArchitecturePattern, FallsBackToWin32OnEveryFailure) {
  struct Case {
    const char* name;
    Kernel32 kernel32;  // and IsWow64Process
    std::optional<bool> isWow64;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {"WOW64 process", kExports, true, L"*x64*"},
      {"native 32-bit process", kExports, false, L"*win32*"},
      {"the call fails", kExports, std::nullopt, L"*win32*"},
      {"no IsWow64Process export", kNoExport, true, L"*win32*"},
      {"kernel32 not found", kNotFound, true, L"*win32*"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform fake;
    fake.system.kernel32Loaded = c.kernel32 != kNotFound;
    fake.system.hasIsWow64Process = c.kernel32 != kNoExport;
    fake.system.isWow64 = c.isWow64;
    PackageLocator locator(fake.platform());
    EXPECT_EQ(locator.ArchitecturePattern(), c.expected);
  }
}

// The lookups as the seam makes them (the fake follows the Win32 side).
TEST(ArchitecturePattern, MissingKernel32LeavesTheEntryUnresolvedAndIsRetried) {
  FakePlatform fake;
  fake.system.kernel32Loaded = false;
  PackageLocator locator(fake.platform());
  EXPECT_EQ(locator.ArchitecturePattern(), L"*win32*");

  fake.system.kernel32Loaded = true;
  EXPECT_EQ(locator.ArchitecturePattern(), L"*x64*");

  // Once present, the entry is reused, but the process is asked each time.
  fake.system.isWow64 = false;
  EXPECT_EQ(locator.ArchitecturePattern(), L"*win32*");
  EXPECT_EQ(CallsNamed(fake, {"GetProcAddress:IsWow64Process"}).size(), 2u);
  EXPECT_EQ(CallsNamed(fake, {"IsWow64Process"}).size(), 2u);
}

TEST(ArchitecturePattern, AnAbsentExportIsLookedUpOnlyOnce) {
  FakePlatform fake;
  fake.system.hasIsWow64Process = false;
  PackageLocator locator(fake.platform());
  for (int i = 0; i < 3; ++i) EXPECT_EQ(locator.ArchitecturePattern(), L"*win32*");
  // Even if the export could now be found, "absent" is final for the process.
  fake.system.hasIsWow64Process = true;
  EXPECT_EQ(locator.ArchitecturePattern(), L"*win32*");
  EXPECT_EQ(fake.system.kernel32Lookups, 1);
  EXPECT_TRUE(CallsNamed(fake, {"IsWow64Process"}).empty());
}

TEST(Arm64Pattern, OnlyAnArm64NativeMachineGivesTheWord) {
  struct Case {
    const char* name;
    Kernel32 kernel32;  // and IsWow64Process2
    std::optional<std::uint16_t> nativeMachine;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {"ARM64 native machine", kExports, kArm64, L"*arm64*"},
      {"x64 native machine", kExports, kAmd64, L""},
      {"x86 native machine", kExports, kI386, L""},
      {"the call fails", kExports, std::nullopt, L""},
      {"no IsWow64Process2 export", kNoExport, kArm64, L""},
      {"kernel32 not found", kNotFound, kArm64, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform fake;
    fake.system.kernel32Loaded = c.kernel32 != kNotFound;
    fake.system.hasIsWow64Process2 = c.kernel32 != kNoExport;
    fake.system.nativeMachine = c.nativeMachine;
    PackageLocator locator(fake.platform());
    EXPECT_EQ(locator.Arm64Pattern(), c.expected);
  }
}

TEST(Arm64Pattern, KeepsNoCache) {
  FakePlatform fake;
  fake.system.hasIsWow64Process2 = false;
  PackageLocator locator(fake.platform());
  EXPECT_EQ(locator.Arm64Pattern(), L"");
  fake.system.hasIsWow64Process2 = true;
  fake.system.nativeMachine = kArm64;
  EXPECT_EQ(locator.Arm64Pattern(), L"*arm64*");
  EXPECT_EQ(CallsNamed(fake, {"GetProcAddress:IsWow64Process2"}).size(), 2u);
}

TEST(LanguagePattern, OnlyRussianRussiaAsAWholeLangIdIsRussian) {
  const std::pair<std::uint16_t, const wchar_t*> cases[] = {
      {0x0419, L"*rus*"},  // Russian (Russia)
      {0x0819, L"*eng*"},  // Russian (Moldova): same primary language, other sublanguage
      {0x0019, L"*eng*"},  // neutral Russian
      {0x0409, L"*eng*"},  {0x0422, L"*eng*"}, {0x0000, L"*eng*"}, {0xFFFF, L"*eng*"},
  };
  for (const auto& [langId, expected] : cases) {
    SCOPED_TRACE(langId);
    FakePlatform fake;
    fake.system.uiLanguage = langId;
    PackageLocator locator(fake.platform());
    EXPECT_EQ(locator.LanguagePattern(), expected);
  }
}

// ---- Search plans -------------------------------------------------------------------

std::vector<std::wstring> InSetupFolder(std::vector<std::wstring> patterns) {
  for (auto& p : patterns) p = L"C:\\setup\\" + p;
  return patterns;
}

TEST(IdentitySearch, TriesTheArchitectureThenAnyPackage) {
  struct Case {
    const char* name;
    bool isWow64;
    std::vector<std::wstring> files;
    Status status;
    std::wstring path;
    std::vector<std::wstring> patterns;
  };
  const std::vector<Case> cases = {
      {"the architecture's package wins over one listed earlier", true,
       {L"C:\\setup\\other.msi", L"C:\\setup\\pkg-x64.msi"}, 0, L"C:\\setup\\pkg-x64.msi",
       {L"*x64**.msi"}},
      {"any package when none names the architecture", true, {L"C:\\setup\\pkg-win32.msi"}, 0,
       L"C:\\setup\\pkg-win32.msi", {L"*x64**.msi", L"*.msi"}},
      {"32-bit Windows", false, {L"C:\\setup\\pkg-x64.msi", L"C:\\setup\\pkg-win32.msi"}, 0,
       L"C:\\setup\\pkg-win32.msi", {L"*win32**.msi"}},
      {"nothing at all", true, {}, 232, kUntouched, {L"*x64**.msi", L"*.msi"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform fake;
    fake.system.isWow64 = c.isWow64;
    fake.system.hasIsWow64Process2 = true;
    fake.system.nativeMachine = kArm64;
    fake.files.AddFolder(L"C:\\setup");
    for (const auto& f : c.files) fake.files.AddFile(f);
    PackageLocator locator(fake.platform());
    std::wstring path = kUntouched;
    EXPECT_EQ(locator.IdentitySearch(path), c.status);
    EXPECT_EQ(path, c.path);
    EXPECT_EQ(PackagePatterns(fake), InSetupFolder(c.patterns));
    // Neither the language nor ARM64 has a say here.
    EXPECT_TRUE(
        CallsNamed(fake, {"GetUserDefaultUILanguage", "GetProcAddress:IsWow64Process2"}).empty());
  }
}

struct MachineCase {
  const char* name;
  bool isWow64;
  bool hasIsWow64Process2;
  std::uint16_t nativeMachine;
  std::uint16_t uiLanguage;
  std::vector<std::wstring> patterns;
};

TEST(VersionSearch, TriesThePatternsInTheirFixedOrder) {
  const std::vector<MachineCase> cases = {
      {"64-bit x64 Windows, Russian", true, false, 0, kRussian,
       {L"*x64**rus*sivetcom*.msi", L"*x64*sivetcom*.msi", L"sivetcom*.msi"}},
      {"32-bit Windows, English", false, false, 0, kEnglishUs,
       {L"*win32**eng*sivetcom*.msi", L"*win32*sivetcom*.msi", L"sivetcom*.msi"}},
      {"x64 Windows that has IsWow64Process2", true, true, kAmd64, kRussianMoldova,
       {L"*x64**eng*sivetcom*.msi", L"*x64*sivetcom*.msi", L"sivetcom*.msi"}},
      {"ARM64 Windows, Russian", true, true, kArm64, kRussian,
       {L"*arm64**rus*sivetcom*.msi", L"*x64**rus*sivetcom*.msi", L"*arm64*sivetcom*.msi",
        L"*x64*sivetcom*.msi", L"sivetcom*.msi"}},
      {"ARM64 Windows, 32-bit answer from IsWow64Process", false, true, kArm64, kEnglishUs,
       {L"*arm64**eng*sivetcom*.msi", L"*win32**eng*sivetcom*.msi", L"*arm64*sivetcom*.msi",
        L"*win32*sivetcom*.msi", L"sivetcom*.msi"}},
  };
  for (const MachineCase& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform fake;
    fake.system.isWow64 = c.isWow64;
    fake.system.hasIsWow64Process2 = c.hasIsWow64Process2;
    fake.system.nativeMachine = c.nativeMachine;
    fake.system.uiLanguage = c.uiLanguage;
    fake.files.AddFolder(L"C:\\setup");
    PackageLocator locator(fake.platform());
    std::wstring path = kUntouched;
    EXPECT_EQ(locator.VersionSearch(L"sivetcom*.msi", path), 232u);
    EXPECT_EQ(path, kUntouched);
    EXPECT_EQ(PackagePatterns(fake), InSetupFolder(c.patterns));
    // Each probe once, language first, before any search.
    const std::vector<std::string> probes = {"GetUserDefaultUILanguage",
                                             "GetProcAddress:IsWow64Process",
                                             "GetProcAddress:IsWow64Process2"};
    EXPECT_EQ(CallsNamed(fake, probes), probes);
    EXPECT_EQ(fake.calls.at(0), "GetUserDefaultUILanguage");
  }
}

TEST(VersionSearch, StopsAtTheFirstPatternThatFinds) {
  struct Case {
    const char* name;
    std::vector<std::wstring> files;
    std::wstring path;
    std::size_t searched;
  };
  const std::vector<Case> cases = {
      {"ARM64 and Russian", {L"C:\\setup\\arm64-rus-sivetcom.msi", L"C:\\setup\\sivetcom.msi"},
       L"C:\\setup\\arm64-rus-sivetcom.msi", 1},
      {"no arm64 package: falls through to the architecture",
       {L"C:\\setup\\sivetcom.msi", L"C:\\setup\\x64-sivetcom.msi"},
       L"C:\\setup\\x64-sivetcom.msi", 4},
      {"the suffix alone", {L"C:\\setup\\sivetcom.msi"}, L"C:\\setup\\sivetcom.msi", 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform fake;
    fake.system.hasIsWow64Process2 = true;
    fake.system.nativeMachine = kArm64;
    fake.files.AddFolder(L"C:\\setup");
    for (const auto& f : c.files) fake.files.AddFile(f);
    PackageLocator locator(fake.platform());
    std::wstring path;
    EXPECT_EQ(locator.VersionSearch(L"sivetcom*.msi", path), 0u);
    EXPECT_EQ(path, c.path);
    EXPECT_EQ(PackagePatterns(fake).size(), c.searched);
  }
}

}  // namespace
}  // namespace korvana
