// System probes against the running system (under Wine: what Wine reports).
#include <gtest/gtest.h>

#include "platform/win32/system_probes.h"
#include "platform/win32/unique_handle.h"

namespace korvana::win32 {
namespace {

TEST(Win32SystemProbes, AdministratorProbeUsesShell32Ordinal680) {
  // Also where nothing has loaded shell32 yet (this test program imports nothing of it).
  const bool answer = Win32SystemProbes().IsUserAnAdmin();
  UniqueLoadedModule shell32(::LoadLibraryW(L"shell32.dll"));
  ASSERT_TRUE(shell32);
  FARPROC byOrdinal = ::GetProcAddress(shell32.get(), MAKEINTRESOURCEA(kIsUserAnAdminOrdinal));
  FARPROC byName = ::GetProcAddress(shell32.get(), "IsUserAnAdmin");
  ASSERT_NE(byOrdinal, nullptr);
  EXPECT_EQ(byOrdinal, byName);
  EXPECT_EQ(answer, reinterpret_cast<BOOL(WINAPI*)()>(reinterpret_cast<void*>(byName))() != FALSE);
}

TEST(Win32SystemProbes, VersionQueriesAgainstTheTrueVersion) {
  Win32SystemProbes probes;
  const NtVersion nt = probes.GetNtVersion();
  ASSERT_GE(nt.major, 5u);
  OSVERSIONINFOW truth{};
  truth.dwOSVersionInfoSize = sizeof(truth);
  auto rtlGetVersion = FindExport<LONG(WINAPI*)(OSVERSIONINFOW*)>(
      ::GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion");
  ASSERT_NE(rtlGetVersion, nullptr);
  ASSERT_EQ(rtlGetVersion(&truth), 0);
  EXPECT_EQ(nt.major, truth.dwMajorVersion);
  EXPECT_EQ(nt.minor, truth.dwMinorVersion);

  struct Case {
    std::uint32_t major, minor;
    std::uint16_t servicePack;
    bool expected;
  };
  const Case cases[] = {
      // A service pack no system has: "below it" holds on every system of that version.
      {nt.major, nt.minor, 99, true},
      {nt.major, nt.minor, 0, false},  // no system is below service pack 0
      {nt.major + 1, nt.minor, 99, false},
      {nt.major, nt.minor + 1, 99, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(probes.IsBelowServicePack(c.major, c.minor, c.servicePack), c.expected)
        << c.major << "." << c.minor << " sp" << c.servicePack;
  }
}

TEST(Win32SystemProbes, Wow64AnswersAsKernel32Does) {
  Win32SystemProbes probes;
  BOOL direct = FALSE;
  ASSERT_TRUE(::IsWow64Process(::GetCurrentProcess(), &direct));
  EXPECT_EQ(probes.IsWow64(), std::optional<bool>(direct != FALSE));
  EXPECT_EQ(probes.IsWow64(), std::optional<bool>(direct != FALSE));  // the entry kept

  // Not every system has IsWow64Process2; where it does, a 32-bit process on a 64-bit
  // system sees a 64-bit native machine.
  const std::optional<std::uint16_t> native = probes.NativeMachine();
  if (::GetProcAddress(::GetModuleHandleW(L"kernel32"), "IsWow64Process2") == nullptr) {
    EXPECT_EQ(native, std::nullopt);
  } else {
    ASSERT_TRUE(native.has_value());
    if (direct) {
      EXPECT_NE(*native, IMAGE_FILE_MACHINE_I386);
    }
  }
}

TEST(Win32SystemProbes, ModuleLoadedLoadsNothing) {
  Win32SystemProbes probes;
  EXPECT_TRUE(probes.IsModuleLoaded(L"kernel32.dll"));
  EXPECT_TRUE(probes.IsModuleLoaded(L"KERNEL32"));
  EXPECT_FALSE(probes.IsModuleLoaded(L"korvana-no-such-module.dll"));
  // hhctrl.ocx is a system library that nothing here loads.
  EXPECT_FALSE(probes.IsModuleLoaded(L"hhctrl.ocx"));
  EXPECT_FALSE(probes.IsModuleLoaded(L"hhctrl.ocx"));
}

}  // namespace
}  // namespace korvana::win32
