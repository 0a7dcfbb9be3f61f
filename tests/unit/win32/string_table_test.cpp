// The built executable's resources, read as Windows reads them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "resources/compiled_catalog.h"
#include "platform/win32/string_table.h"
#include "win32/win32_test_support.h"

namespace korvana::win32 {
namespace {

BOOL CALLBACK CollectBlock(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR blocks) {
  if (IS_INTRESOURCE(name)) reinterpret_cast<std::set<WORD>*>(blocks)->insert(LOWORD(name));
  return TRUE;
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR languages) {
  reinterpret_cast<std::vector<WORD>*>(languages)->push_back(language);
  return TRUE;
}

using BuiltExecutable = testing::BuiltExecutableTest<>;

TEST_F(BuiltExecutable, StringTableEqualsTheCatalogueEntryByEntry) {
  std::size_t count = 0;
  const CatalogEntry* entries = CatalogEntries(&count);
  std::map<std::uint16_t, std::wstring> expected;
  for (std::size_t i = 0; i < count; ++i) expected[entries[i].id] = entries[i].text;
  ASSERT_GT(expected.size(), 40u);

  // Every ID around the catalogue: present ones read exactly (line feeds, en dashes,
  // Cyrillic), the gaps (140, 141, 146, 149 among them) and the IDs beyond the
  // table read empty.
  for (unsigned id = 0; id <= 200; ++id) {
    const auto entry = expected.find(static_cast<std::uint16_t>(id));
    const std::wstring want = entry == expected.end() ? std::wstring() : entry->second;
    EXPECT_EQ(ReadStringTableEntry(module_.get(), static_cast<std::uint16_t>(id)), want)
        << "string " << id;
  }
  for (std::uint16_t gap : {140, 141, 146, 149}) {
    EXPECT_EQ(expected.count(gap), 0u) << gap;
  }
  EXPECT_EQ(ReadStringTableEntry(module_.get(), 65535), L"");
}

TEST_F(BuiltExecutable, StringTableIsRussianOnly) {
  std::set<WORD> blocks;
  ::EnumResourceNamesW(
      module_.get(), RT_STRING, CollectBlock, reinterpret_cast<LONG_PTR>(&blocks));
  // IDs 101 to 153 live in blocks 7 to 10.
  EXPECT_EQ(blocks, (std::set<WORD>{7, 8, 9, 10}));
  for (WORD block : blocks) {
    std::vector<WORD> languages;
    ::EnumResourceLanguagesW(
        module_.get(), RT_STRING, MAKEINTRESOURCEW(block), CollectLanguage,
        reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(languages, std::vector<WORD>{0x0419}) << "block " << block;
  }
}

// The catalogue asks for the neutral language and relies on the loader's fallback to
// find the lone Russian table whatever the user's UI language.
TEST_F(BuiltExecutable, NeutralLanguageLookupFindsTheRussianTable) {
  EXPECT_NE(::FindResourceExW(module_.get(), RT_STRING, MAKEINTRESOURCEW(7),
                              MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL)),
            nullptr);
}

TEST_F(BuiltExecutable, CarriesIconManifestAndVersion) {
  EXPECT_NE(::FindResourceW(module_.get(), MAKEINTRESOURCEW(100), RT_GROUP_ICON), nullptr);

  const std::string manifest = ResourceBytes(RT_MANIFEST, 1);
  for (const char* piece :
       {"level=\"requireAdministrator\"", "Microsoft.Windows.Common-Controls",
        "version=\"6.0.0.0\"", "<dpiAware", "<dpiAwareness",
        "{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) {
    EXPECT_NE(manifest.find(piece), std::string::npos) << piece;
  }

  // VS_FIXEDFILEINFO: its signature, then file and product version 1.0.0.0.
  const std::string version = ResourceBytes(RT_VERSION, 1);
  const DWORD signature = 0xFEEF04BD;
  const std::size_t at =
      version.find(std::string(reinterpret_cast<const char*>(&signature), sizeof(signature)));
  ASSERT_NE(at, std::string::npos);
  VS_FIXEDFILEINFO fixed;
  ASSERT_LE(at + sizeof(fixed), version.size());
  std::memcpy(&fixed, version.data() + at, sizeof(fixed));
  EXPECT_EQ(fixed.dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed.dwFileVersionLS, 0u);
  EXPECT_EQ(fixed.dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed.dwFileType, static_cast<DWORD>(VFT_APP));
  const std::wstring product = L"Корвана ЭЦП Browser plug-in setup";
  EXPECT_NE(version.find(std::string(reinterpret_cast<const char*>(product.data()),
                                     product.size() * sizeof(wchar_t))),
            std::string::npos);
}

TEST(StringTableReader, ModuleWithoutATableReadsEmpty) {
  // The test program itself carries no string table.
  EXPECT_EQ(ReadStringTableEntry(::GetModuleHandleW(nullptr), 101), L"");
  Win32MessageCatalog catalog(::GetModuleHandleW(nullptr));
  EXPECT_EQ(catalog.LoadText(153), L"");
}

// The image's own flags: ASLR, DEP, and Terminal Server awareness, without which a
// Remote Desktop Session Host hands the program a per-user Windows folder.
TEST(BuiltExecutableHeader, AsksForAslrDepAndTerminalServerAwareness) {
  const std::wstring path = testing::SetupExecutablePath();
  if (path.empty()) GTEST_SKIP() << "KORVANA_SETUP_EXE is not set";
  FILE* file = ::_wfopen(path.c_str(), L"rb");
  ASSERT_NE(file, nullptr);
  std::string head(4096, '\0');
  head.resize(std::fread(&head[0], 1, head.size(), file));
  std::fclose(file);
  IMAGE_DOS_HEADER dos;
  ASSERT_GE(head.size(), sizeof dos);
  std::memcpy(&dos, head.data(), sizeof dos);
  IMAGE_NT_HEADERS32 nt;
  ASSERT_LE(static_cast<std::size_t>(dos.e_lfanew) + sizeof nt, head.size());
  std::memcpy(&nt, head.data() + dos.e_lfanew, sizeof nt);
  const WORD wanted = IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE | IMAGE_DLLCHARACTERISTICS_NX_COMPAT |
                      IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE;
  EXPECT_EQ(nt.OptionalHeader.DllCharacteristics & wanted, wanted);
}

}  // namespace
}  // namespace korvana::win32
