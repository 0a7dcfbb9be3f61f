// Registry keys, text values and both routes of subkey deletion, against the real registry.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/win32/registry.h"
#include "platform/win32/system_probes.h"
#include "platform/win32/windows_api.h"

namespace korvana::win32 {
namespace {

constexpr REGSAM kReadWrite = KEY_READ | KEY_WRITE;
const wchar_t kParent[] = L"Software\\KorvanaWin32UnitTest";

class Win32RegistryTest : public ::testing::Test {
 protected:
  void TearDown() override {
    ::RegDeleteKeyW(HKEY_CURRENT_USER, (std::wstring(kParent) + L"\\Marker").c_str());
    ::RegDeleteKeyW(HKEY_CURRENT_USER, kParent);
  }

  bool MarkerExists() {
    KeyToken key{};
    const Status status = registry_.OpenKey(RegistryRoot::CurrentUser,
                                            std::wstring(kParent) + L"\\Marker", KEY_READ, &key);
    if (status == ERROR_SUCCESS) registry_.CloseKey(key);
    return status == ERROR_SUCCESS;
  }

  // Creates the marker and answers the status of deleting it through `route`, or
  // through the route the registry chooses.
  Status CreateThenDelete(std::optional<DeleteKeyRoute> route) {
    KeyToken marker{};
    EXPECT_EQ(registry_.CreateKey(RegistryRoot::CurrentUser, std::wstring(kParent) + L"\\Marker",
                                  kReadWrite, &marker),
              0u);
    registry_.CloseKey(marker);
    EXPECT_TRUE(MarkerExists());
    KeyToken parent{};
    EXPECT_EQ(registry_.OpenKey(RegistryRoot::CurrentUser, kParent, kReadWrite, &parent), 0u);
    const Status status = route ? DeleteSubKeyThrough(reinterpret_cast<HKEY>(parent), L"Marker", *route)
                                : registry_.DeleteSubKey(parent, L"Marker");
    registry_.CloseKey(parent);
    return status;
  }

  Win32Registry registry_;
};

TEST_F(Win32RegistryTest, OpenFailsWithTheErrorAndLeavesTheTokenAlone) {
  KeyToken key{12345};
  EXPECT_EQ(registry_.OpenKey(RegistryRoot::CurrentUser, L"Software\\KorvanaNoSuchKey",
                              KEY_READ, &key),
            static_cast<Status>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(key, KeyToken{12345});
}

TEST_F(Win32RegistryTest, Advapi32RouteDeletesTheKey) {
  EXPECT_EQ(CreateThenDelete(DeleteKeyRoute::Advapi32), 0u);
  EXPECT_FALSE(MarkerExists());
}

TEST_F(Win32RegistryTest, ApiSetRouteDeletesOnlyWhenTheApiSetIsLoaded) {
  const bool loaded = Win32SystemProbes().IsModuleLoaded(kLocalRegistryApiSet);
  const Status status = CreateThenDelete(DeleteKeyRoute::LocalRegistryApiSet);
  if (loaded) {
    EXPECT_EQ(status, 0u);
    EXPECT_FALSE(MarkerExists());
  } else {
    EXPECT_EQ(status, static_cast<Status>(ERROR_MOD_NOT_FOUND));
    EXPECT_TRUE(MarkerExists());
  }
}

TEST_F(Win32RegistryTest, EitherRouteTheRegistryChoosesDeletesTheKey) {
  EXPECT_EQ(CreateThenDelete(std::nullopt), 0u);
  EXPECT_FALSE(MarkerExists());
}

TEST_F(Win32RegistryTest, DeletingAMissingKeyReportsIt) {
  KeyToken parent{};
  ASSERT_EQ(registry_.CreateKey(RegistryRoot::CurrentUser, kParent, kReadWrite, &parent), 0u);
  EXPECT_EQ(registry_.DeleteSubKey(parent, L"Marker"), static_cast<Status>(ERROR_FILE_NOT_FOUND));
  registry_.CloseKey(parent);
}

TEST_F(Win32RegistryTest, OpensASubKeyAndReadsOnlyTextsThatFit) {
  KeyToken parent{};
  ASSERT_EQ(registry_.CreateKey(RegistryRoot::CurrentUser, kParent, kReadWrite, &parent), 0u);
  KeyToken created{};
  ASSERT_EQ(registry_.CreateKey(RegistryRoot::CurrentUser, std::wstring(kParent) + L"\\Marker",
                                kReadWrite, &created),
            0u);
  const auto set = [created](const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    ::RegSetValueExW(reinterpret_cast<HKEY>(created), name, 0, type, static_cast<const BYTE*>(data), bytes);
  };
  const auto setText = [&set](const wchar_t* name, DWORD type, const std::wstring& text) {
    set(name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  };
  const DWORD number = 0x12345678;
  setText(L"Version", REG_SZ, L"23.9.1");
  setText(L"Path", REG_EXPAND_SZ, L"%SystemRoot%\\x.dll");
  setText(L"Almost", REG_SZ, std::wstring(258, L'a'));  // 518 bytes with the null
  setText(L"Filling", REG_SZ, std::wstring(259, L'a'));  // all 520
  setText(L"Longer", REG_SZ, std::wstring(300, L'a'));
  set(L"Count", REG_DWORD, &number, sizeof(number));
  registry_.CloseKey(created);

  KeyToken missing{99};
  EXPECT_EQ(registry_.OpenSubKey(parent, L"NoSuchKey", KEY_READ, &missing),
            static_cast<Status>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(missing, KeyToken{99});
  KeyToken marker{};
  ASSERT_EQ(registry_.OpenSubKey(parent, L"Marker", KEY_READ, &marker), 0u);
  registry_.CloseKey(parent);

  struct Case {
    const wchar_t* name;
    Status status;
    std::wstring text;  // when read
    bool expandable;
  };
  const Case cases[] = {
      {L"Version", ERROR_SUCCESS, L"23.9.1", false},
      {L"Path", ERROR_SUCCESS, L"%SystemRoot%\\x.dll", true},
      {L"Almost", ERROR_SUCCESS, std::wstring(258, L'a'), false},
      {L"Filling", ERROR_MORE_DATA, L"", false},  // it may have been cut short
      {L"Longer", ERROR_MORE_DATA, L"", false},
      {L"Count", ERROR_UNSUPPORTED_TYPE, L"", false},
      {L"NoSuchValue", ERROR_FILE_NOT_FOUND, L"", false},
  };
  for (const Case& c : cases) {
    const Read<RegistryText> read = registry_.QueryText(marker, c.name);
    EXPECT_EQ(read.ok, c.status == ERROR_SUCCESS) << c.name;
    EXPECT_EQ(read.status, c.status) << c.name;
    EXPECT_EQ(read.value.text, c.text) << c.name;
    EXPECT_EQ(read.value.expandable, c.expandable) << c.name;
  }
  registry_.CloseKey(marker);
}

}  // namespace
}  // namespace korvana::win32
