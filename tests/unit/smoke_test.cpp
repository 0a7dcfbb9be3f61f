#include <gtest/gtest.h>

#include "fake_platform.h"
#include "support/log_event.h"

TEST(Smoke, WideCharIsTheBuildsOwn) { EXPECT_GE(sizeof(wchar_t), 2u); }

namespace korvana::testing {

// The owners of tokens: a reused owner gives back what it held, a moved one is
// emptied, a released token is no longer the owner's to close.
TEST(ScopedToken, EveryTokenIsClosedOnceWhateverItsOwnerDoes) {
  FakePlatform fake;
  Registry& registry = fake.registry;
  {
    RegistryKey key(registry);
    ASSERT_EQ(registry.OpenKey(RegistryRoot::CurrentUser, L"Software", 1, key.put()), 0u);
    ASSERT_EQ(registry.OpenKey(RegistryRoot::CurrentUser, L"Software", 1, key.put()), 0u);
    EXPECT_EQ(fake.registry.openKeys, 1);
    RegistryKey moved(std::move(key));
    EXPECT_FALSE(key);
    RegistryKey other(registry);
    ASSERT_EQ(registry.OpenKey(RegistryRoot::CurrentUser, L"Software", 1, other.put()), 0u);
    other = std::move(moved);
    EXPECT_EQ(fake.registry.openKeys, 1);
    registry.CloseKey(other.release());
    EXPECT_FALSE(other);
  }
  EXPECT_EQ(fake.registry.openKeys, 0);
  EXPECT_EQ(fake.Count("RegCloseKey"), 3);
}

// One event, one line: its time to the millisecond, its pieces with each line break
// written as \n (carriage returns dropped), CR LF.
TEST(LogEvent, WritesOneTimedLinePerEvent) {
  const struct {
    LocalTime time;
    std::wstring piece;
    const wchar_t* written;
  } cases[] = {
      {{2026, 12, 7, 4, 36, 54, 7}, L"0", L"04:36:54.007 exit code 0\r\n"},
      {{2026, 1, 1, 23, 59, 9, 999}, L"a\r\nb\n", L"23:59:09.999 exit code a\\nb\\n\r\n"},
      {{2026, 1, 1, 0, 0, 0, 40}, L"", L"00:00:00.040 exit code \r\n"},
  };
  for (const auto& c : cases) {
    FakePlatform fake;
    fake.clock.now = c.time;
    LogEvent(fake.platform(), {L"exit code ", c.piece});
    EXPECT_EQ(fake.log.written, c.written);
  }
}

}  // namespace korvana::testing
