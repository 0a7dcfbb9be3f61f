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
    VersionQuery query;
    bool expected;
  };
  const Case cases[] = {
      {{nt.major, nt.minor, 0, VER_MAJORVERSION | VER_MINORVERSION,
        {{VER_MAJORVERSION, VER_EQUAL}, {VER_MINORVERSION, VER_EQUAL}}},
       true},
      {{nt.major + 1, 0, 0, VER_MAJORVERSION, {{VER_MAJORVERSION, VER_EQUAL}}}, false},
      {{nt.major + 1, 0, 0, VER_MAJORVERSION, {{VER_MAJORVERSION, VER_LESS}}}, true},
      {{nt.major, 0, 0, VER_MAJORVERSION, {{VER_MAJORVERSION, VER_LESS}}}, false},
      // A service pack no system has: "below it" holds on every system.
      {{nt.major, nt.minor, 99, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR,
        {{VER_MAJORVERSION, VER_EQUAL}, {VER_MINORVERSION, VER_EQUAL},
         {VER_SERVICEPACKMAJOR, VER_LESS}}},
       true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(probes.VerifyVersion(c.query), c.expected)
        << c.query.majorVersion << "." << c.query.minorVersion << " sp"
        << c.query.servicePackMajor;
  }
}

TEST(Win32SystemProbes, Kernel32ExportsAndTheWow64Calls) {
  Win32SystemProbes probes;
  const ProcLookup missing = probes.FindKernel32Export("KorvanaNoSuchExport");
  EXPECT_EQ(missing.result, ProcLookup::NoExport);

  const ProcLookup isWow64 = probes.FindKernel32Export("IsWow64Process");
  ASSERT_EQ(isWow64.result, ProcLookup::Found);
  BOOL direct = FALSE;
  ASSERT_TRUE(::IsWow64Process(::GetCurrentProcess(), &direct));
  EXPECT_EQ(probes.CallIsWow64Process(isWow64.entry), std::optional<bool>(direct != FALSE));

  // Not every system has IsWow64Process2; where it does, a 32-bit process on a 64-bit
  // system sees a 64-bit native machine.
  const ProcLookup isWow64Two = probes.FindKernel32Export("IsWow64Process2");
  if (isWow64Two.result == ProcLookup::Found) {
    const std::optional<std::uint16_t> native = probes.CallIsWow64Process2(isWow64Two.entry);
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
