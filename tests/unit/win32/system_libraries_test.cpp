// wininet.dll, wintrust.dll and libraries loaded by name: reached at run time, from
// System32 only, and failing cleanly when a library or an export is not there.
#include <gtest/gtest.h>

#include <process.h>

#include <vector>

#include "platform/win32/file_system.h"
#include "platform/win32/libraries.h"
#include "platform/win32/network.h"
#include "platform/win32/system_library.h"
#include "platform/win32/trust.h"
#include "platform/win32/user_interface.h"
#include "support/text.h"

namespace korvana::win32 {
namespace {

// A System32 library that exists but is neither WinINet nor WinTrust.
const wchar_t kUnrelatedLibrary[] = L"version.dll";
const wchar_t kMissingLibrary[] = L"korvana-no-such-library.dll";

unsigned __stdcall GetLibrary(void* library) {
  static_cast<SystemLibrary*>(library)->Get();
  return 0;
}

TEST(Win32SystemLibrary, LoadsOnceFromTheSystemFolderWhicheverThreadAsks) {
  SystemLibrary library(L"wininet.dll");
  // Several threads ask at once; all must see the one module the first load gave.
  std::vector<HANDLE> threads;
  for (int i = 0; i < 4; ++i) {
    threads.push_back(reinterpret_cast<HANDLE>(
        ::_beginthreadex(nullptr, 0, GetLibrary, &library, 0, nullptr)));
  }
  HMODULE module = library.Get();
  ::WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, INFINITE);
  for (HANDLE thread : threads) ::CloseHandle(thread);
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(library.Get(), module);

  const Read<std::wstring> system = Win32FileSystem().GetSystemDirectory();
  ASSERT_TRUE(system.ok);
  EXPECT_TRUE(EqualsIgnoringAsciiCase(ReadModuleFileName(module), system.value + L"\\wininet.dll"))
      << ReadModuleFileName(module);

  SystemLibrary missing(kMissingLibrary);
  EXPECT_EQ(missing.Get(), nullptr);
  EXPECT_EQ(missing.Get(), nullptr);
  EXPECT_EQ(missing.Find<void*>("InternetOpenW"), nullptr);
}

TEST(Win32Network, EveryOperationFailsCleanlyWithoutWinInet) {
  for (const wchar_t* name : {kMissingLibrary, kUnrelatedLibrary}) {
    SCOPED_TRACE(name);
    Win32Network network(name);
    EXPECT_EQ(network.OpenSession(L"agent", 1), InternetToken{});
    EXPECT_EQ(network.OpenUrl(InternetToken{1}, L"https://localhost/", 0), InternetToken{});
    EXPECT_FALSE(network.QueryHeader(InternetToken{1}, 19).ok);
    char buffer[16];
    std::uint32_t read = 5;
    EXPECT_FALSE(network.ReadData(InternetToken{1}, buffer, sizeof(buffer), &read));
    network.CloseInternetHandle(InternetToken{1});
  }
}

TEST(Win32Network, OpensASession) {
  Win32Network network;
  const InternetToken session = network.OpenSession(L"korvana-unit-test", 1);  // direct
  ASSERT_TRUE(IsOpen(session));
  network.CloseInternetHandle(session);
}

TEST(Win32Trust, VerdictOrTheReasonThereIsNone) {
  const std::wstring unsigned_ = ReadModuleFileName(nullptr);  // the tests are not signed
  struct Case {
    const wchar_t* library;
    std::int32_t expected;
  };
  const Case cases[] = {
      {L"wintrust.dll", static_cast<std::int32_t>(0x800B0100)},  // TRUST_E_NOSIGNATURE
      {kMissingLibrary, HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)},
      {kUnrelatedLibrary, HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND)},
  };
  for (const Case& c : cases) {
    Win32Trust trust(c.library);
    const TrustVerdict verdict = trust.VerifyFile(unsigned_);
    EXPECT_EQ(verdict.result, c.expected) << c.library;
    EXPECT_EQ(verdict.signer, L"") << c.library;  // no signature, no signer
  }
  // A file that does not exist is refused, never trusted.
  EXPECT_NE(Win32Trust().VerifyFile(unsigned_ + L".missing").result, 0);
}

TEST(Win32Libraries, CallsANoArgumentExport) {
  Win32Libraries libraries;
  const LibraryToken kernel32 = libraries.LoadLibrary(L"kernel32.dll");
  ASSERT_TRUE(IsOpen(kernel32));
  EXPECT_EQ(libraries.CallExport(kernel32, "GetCurrentProcessId"),
            static_cast<std::int32_t>(::GetCurrentProcessId()));
  EXPECT_EQ(libraries.CallExport(kernel32, "KorvanaNoSuchExport"), std::nullopt);
  libraries.FreeLibrary(kernel32);
  EXPECT_EQ(libraries.LoadLibrary(kMissingLibrary), LibraryToken{});
}

// comctl32 is loaded and stays so (this test program carries no manifest, so it gets
// System32's copy); the station's answer is what UOI_FLAGS says of it.
TEST(Win32UserInterface, CommonControlsAndTheWindowStation) {
  Win32UserInterface ui(::GetModuleHandleW(nullptr));
  EXPECT_EQ(ui.InitCommonControls(), 0u);
  EXPECT_NE(::GetModuleHandleW(L"comctl32.dll"), nullptr);
  USEROBJECTFLAGS flags{};
  ASSERT_TRUE(::GetUserObjectInformationW(::GetProcessWindowStation(), UOI_FLAGS, &flags,
                                          sizeof(flags), nullptr));
  EXPECT_EQ(ui.IsWindowStationVisible(), std::optional<bool>((flags.dwFlags & WSF_VISIBLE) != 0));
}

}  // namespace
}  // namespace korvana::win32
