#include "app/os_gate.h"

#include <gtest/gtest.h>

#include "fake_platform.h"
#include "support/restart.h"

namespace korvana {
namespace {

using testing::FakePlatform;

TEST(CheckOperatingSystem, RefusesOnlyTheThreeOldServicePackLevels) {
  struct Case {
    std::uint32_t major, minor;
    std::uint16_t servicePack;
    std::uint32_t expected;
    const wchar_t* text;
  };
  const Case cases[] = {
      {5, 0, 3, 3, L"Для установки продукта на Windows 2000 требуется пакет обновлений SP4."},
      {5, 0, 4, 0, nullptr},
      {5, 1, 0, 4, L"Для установки продукта на Windows XP требуется пакет обновлений SP2."},
      {5, 1, 1, 4, L"Для установки продукта на Windows XP требуется пакет обновлений SP2."},
      {5, 1, 2, 0, nullptr},
      {5, 1, 3, 0, nullptr},
      {5, 2, 0, 5, L"Для установки продукта на Windows 2003 требуется пакет обновлений SP1."},
      {5, 2, 1, 0, nullptr},
      {6, 0, 0, 0, nullptr},  // Vista without a service pack
      {6, 1, 1, 0, nullptr},
      {10, 0, 0, 0, nullptr},
      {4, 0, 0, 0, nullptr},  // older than Windows 2000: no test at all
  };
  for (const Case& c : cases) {
    for (bool silent : {false, true}) {
      FakePlatform fake;
      fake.osMajor = c.major;
      fake.osMinor = c.minor;
      fake.osServicePack = c.servicePack;
      SCOPED_TRACE(std::to_string(c.major) + "." + std::to_string(c.minor) + " SP" +
                   std::to_string(c.servicePack) + (silent ? " silent" : ""));
      EXPECT_EQ(CheckOperatingSystem(fake.platform(), Boxes(fake.platform(), silent)), c.expected);
      if (c.text == nullptr || silent) {
        EXPECT_TRUE(fake.boxes.empty());
      } else {
        ASSERT_EQ(fake.boxes.size(), 1u);
        EXPECT_EQ(fake.boxes[0].text, c.text);
        EXPECT_EQ(fake.boxes[0].caption, L"Корвана ЭЦП Browser plug-in");
        EXPECT_EQ(fake.boxes[0].style, 0x50010u);
        EXPECT_EQ(fake.boxes[0].owner, Owner::OwnerWindow);
      }
    }
  }
}

TEST(CheckOperatingSystem, AsksForEachOldVersionItsServicePack) {
  FakePlatform fake;
  EXPECT_EQ(CheckOperatingSystem(fake.platform(), Boxes(fake.platform())), 0u);
  ASSERT_EQ(fake.versionQueries.size(), 3u);
  const std::uint16_t servicePacks[] = {4, 2, 1};
  for (std::uint32_t minor = 0; minor < 3; ++minor) {
    const auto& q = fake.versionQueries[minor];
    EXPECT_EQ(q.major, 5u);
    EXPECT_EQ(q.minor, minor);
    EXPECT_EQ(q.servicePack, servicePacks[minor]);
  }
}

TEST(CheckOperatingSystem, AFailedQueryCountsAsAnotherSystem) {
  FakePlatform fake;
  fake.osMajor = 5;
  fake.osMinor = 1;
  fake.verifyVersionFails = true;
  EXPECT_EQ(CheckOperatingSystem(fake.platform(), Boxes(fake.platform())), 0u);
  EXPECT_TRUE(fake.boxes.empty());
}

TEST(RestartComputer, EnablesThePrivilegeThenAsksWindowsWithFlagsByVersion) {
  struct Case {
    std::optional<Status> privilege;
    std::uint32_t major;
    bool accepts;
    bool expected;
    std::optional<std::uint32_t> flags;  // nullopt: ExitWindowsEx not called
  };
  const Case cases[] = {
      {Status{0}, 10, true, true, 0x42u},
      {Status{0}, 6, true, true, 0x42u},
      {Status{0}, 5, true, true, 0x2u},
      {Status{0}, 10, false, false, 0x42u},
      {Status{1300}, 10, true, false, std::nullopt},  // ERROR_NOT_ALL_ASSIGNED
      {std::nullopt, 10, true, false, std::nullopt},  // no token
  };
  for (const Case& c : cases) {
    FakePlatform fake;
    fake.privilegeResult = c.privilege;
    fake.osMajor = c.major;
    fake.exitWindowsAccepts = c.accepts;
    EXPECT_EQ(RestartComputer(fake, fake), c.expected);
    if (c.flags) {
      ASSERT_EQ(fake.exitWindowsCalls.size(), 1u);
      EXPECT_EQ(fake.exitWindowsCalls[0].flags, *c.flags);
      EXPECT_EQ(fake.exitWindowsCalls[0].reason, 0x00040000u);
    } else {
      EXPECT_TRUE(fake.exitWindowsCalls.empty());
    }
  }
}

}  // namespace
}  // namespace korvana
