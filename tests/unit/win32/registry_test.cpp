// Registry keys and both routes of subkey deletion, against the real registry.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>

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

TEST_F(Win32RegistryTest, OpensASubKeyAndReadsValuesOfAnyType) {
  KeyToken parent{};
  ASSERT_EQ(registry_.CreateKey(RegistryRoot::CurrentUser, kParent, kReadWrite, &parent), 0u);
  KeyToken created{};
  ASSERT_EQ(registry_.CreateKey(RegistryRoot::CurrentUser, std::wstring(kParent) + L"\\Marker",
                                kReadWrite, &created),
            0u);
  const wchar_t text[] = L"23.9.1";
  const DWORD number = 0x12345678;
  ::RegSetValueExW(reinterpret_cast<HKEY>(created), L"Version", 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(text), sizeof(text));
  ::RegSetValueExW(reinterpret_cast<HKEY>(created), L"Count", 0, REG_DWORD,
                   reinterpret_cast<const BYTE*>(&number), sizeof(number));
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
    std::uint32_t capacity;
    Status status;
    std::uint32_t size;  // what the call reports
    const void* data;    // what it reads, when it succeeds
    DWORD type;          // the type reported
  };
  const Case cases[] = {
      {L"Version", sizeof(text), ERROR_SUCCESS, sizeof(text), text, REG_SZ},
      {L"Version", 64, ERROR_SUCCESS, sizeof(text), text, REG_SZ},
      {L"Version", 4, ERROR_MORE_DATA, sizeof(text), nullptr, REG_SZ},  // the size it needs
      {L"Count", 64, ERROR_SUCCESS, sizeof(number), &number, REG_DWORD},
      {L"NoSuchValue", 64, ERROR_FILE_NOT_FOUND, 64, nullptr, REG_NONE},
  };
  for (const Case& c : cases) {
    BYTE buffer[64] = {};
    std::uint32_t size = c.capacity;
    std::uint32_t type = 0xFFFF;
    EXPECT_EQ(registry_.QueryValue(marker, c.name, buffer, &size, &type), c.status) << c.name;
    EXPECT_EQ(type, c.type) << c.name;
    EXPECT_EQ(size, c.size) << c.name << " into " << c.capacity;
    if (c.data != nullptr) {
      EXPECT_EQ(std::memcmp(buffer, c.data, c.size), 0) << c.name;
    }
  }
  registry_.CloseKey(marker);
}

}  // namespace
}  // namespace korvana::win32
