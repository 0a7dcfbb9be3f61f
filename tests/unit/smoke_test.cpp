#include <gtest/gtest.h>

#include "fake_platform.h"

TEST(Smoke, WideCharIsTheBuildsOwn) { EXPECT_GE(sizeof(wchar_t), 2u); }

namespace korvana::testing {

// The owners of tokens: a reused owner gives back what it held, a moved one is
// emptied, a released token is no longer the owner's to close.
TEST(ScopedToken, EveryTokenIsClosedOnceWhateverItsOwnerDoes) {
  FakePlatform fake;
  Registry& registry = fake;
  {
    RegistryKey key(registry);
    ASSERT_EQ(registry.OpenKey(RegistryRoot::CurrentUser, L"Software", 1, key.Receive()), 0u);
    ASSERT_EQ(registry.OpenKey(RegistryRoot::CurrentUser, L"Software", 1, key.Receive()), 0u);
    EXPECT_EQ(fake.openKeys, 1);
    RegistryKey moved(std::move(key));
    EXPECT_FALSE(key);
    RegistryKey other(registry);
    ASSERT_EQ(registry.OpenKey(RegistryRoot::CurrentUser, L"Software", 1, other.Receive()), 0u);
    other = std::move(moved);
    EXPECT_EQ(fake.openKeys, 1);
    registry.CloseKey(other.Release());
    EXPECT_FALSE(other);
  }
  EXPECT_EQ(fake.openKeys, 0);
  EXPECT_EQ(fake.Count("RegCloseKey"), 3);
}

}  // namespace korvana::testing
