// What the Win32 build takes for granted of its compiler and C runtime, and the small
// platform pieces without a system effect worth a test of their own.
#include <gtest/gtest.h>

#include "platform/win32/clock.h"
#include "platform/win32/power_control.h"
#include "platform/win32/unique_handle.h"

namespace korvana::win32 {
namespace {

TEST(Win32Runtime, WideTextIsUtf16) {
  // The string table, the catalogue literals and every Win32 call share one encoding.
  static_assert(sizeof(wchar_t) == 2, "wchar_t is one UTF-16 unit");
  const std::wstring text = L"Корвана – Ж";
  ASSERT_EQ(text.size(), 11u);
  EXPECT_EQ(text[0], 0x041A);   // К: the UTF-8 source became UTF-16
  EXPECT_EQ(text[8], 0x2013);   // en dash
}

TEST(Win32Clock, LocalTimeIsACalendarDate) {
  // Calendar year and month, not struct tm's years since 1900 and months from 0.
  const LocalTime now = Win32Clock().Now();
  EXPECT_GE(now.year, 2024);
  EXPECT_GE(now.month, 1);
  EXPECT_LE(now.month, 12);
  EXPECT_GE(now.day, 1);
  EXPECT_LE(now.day, 31);
  EXPECT_LE(now.hour, 23);
}

TEST(Win32PowerControl, OwnTokenOpensForThePrivilege) {
  // Only the privilege step: ExitWindowsEx is left to a real restart.
  EXPECT_TRUE(Win32PowerControl().EnableShutdownPrivilege().has_value());
}

bool IsOpen(HANDLE handle) {
  DWORD flags = 0;
  return ::GetHandleInformation(handle, &flags) != FALSE;
}

TEST(Win32UniqueHandle, ClosesOnceOnEveryWayOut) {
  HANDLE raw = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(raw, nullptr);
  {
    UniqueKernelHandle first(raw);
    UniqueKernelHandle second(std::move(first));
    EXPECT_FALSE(first.valid());
    EXPECT_EQ(second.get(), raw);
    UniqueKernelHandle third;
    third = std::move(second);
    EXPECT_TRUE(IsOpen(raw));
  }
  EXPECT_FALSE(IsOpen(raw));

  HANDLE other = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  UniqueKernelHandle owner(other);
  HANDLE released = owner.release();
  EXPECT_FALSE(owner.valid());
  EXPECT_TRUE(IsOpen(released));
  owner.reset(released);
  HANDLE* slot = owner.put();  // a slot handed out closes what was held first
  EXPECT_FALSE(IsOpen(released));
  EXPECT_EQ(*slot, nullptr);

  // A search handle's "none" is INVALID_HANDLE_VALUE, which must never be closed.
  UniqueFindHandle search(INVALID_HANDLE_VALUE);
  EXPECT_FALSE(search.valid());
}

TEST(Win32CriticalSectionLock, HoldsTheSectionForItsScopeOnly) {
  CRITICAL_SECTION section;
  ::InitializeCriticalSection(&section);
  {
    const CriticalSectionLock hold(section);
    EXPECT_EQ(section.RecursionCount, 1);
  }
  EXPECT_EQ(section.RecursionCount, 0);
  ::DeleteCriticalSection(&section);
}

}  // namespace
}  // namespace korvana::win32
