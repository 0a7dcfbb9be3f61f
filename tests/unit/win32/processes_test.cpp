// Starting children and waiting for them, against the real system.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "platform/win32/processes.h"
#include "platform/win32/windows_api.h"

namespace korvana::win32 {
namespace {

struct RunCase {
  const wchar_t* commandLine;
  Status expected;
};

TEST(Win32RunAndWait, YieldsTheExitCodeOrTheStartError) {
  const RunCase cases[] = {
      {L"korvana-no-such-program.exe /quiet", ERROR_FILE_NOT_FOUND},  // never started
      {L"cmd /c exit 3010", 3010},
      {L"cmd /c exit 0", 0},
      {L"cmd.exe /c exit 1603", 1603},
      {L"cmd /c exit -1", 0xFFFFFFFFu},  // the full 32-bit code, not its low byte
  };
  Win32Processes processes;
  for (const RunCase& c : cases) {
    EXPECT_EQ(processes.RunAndWait(c.commandLine, L""), c.expected) << std::wstring(c.commandLine);
  }
}

TEST(Win32RunAndWait, AddsNoQuotes) {
  // An unquoted path with a blank names the program "C:\No"; the caller must quote.
  Win32Processes processes;
  EXPECT_NE(processes.RunAndWait(L"C:\\No Such Folder\\setup.exe", L""), 0u);
}

TEST(Win32RunAndWait, AnApplicationNameIsThePrograms) {
  // The first token is only text then: no search can bring another program in.
  Win32Processes processes;
  EXPECT_EQ(processes.RunAndWait(L"\"notthere.exe\" /c exit 9", L"C:\\windows\\system32\\cmd.exe"), 9u);
  EXPECT_EQ(processes.RunAndWait(L"cmd /c exit 9", L"C:\\nowhere\\cmd.exe"), 3u);  // ERROR_PATH_NOT_FOUND
}

TEST(Win32RunAndWait, TwoThreadsWaitForTheirOwnChildren) {
  // The browser worker runs its installer while the main thread may run another.
  Win32Processes processes;
  Status first = 99, second = 99;
  std::thread worker([&] { first = processes.RunAndWait(L"cmd /c exit 5", L""); });
  second = processes.RunAndWait(L"cmd /c exit 6", L"");
  worker.join();
  EXPECT_EQ(first, 5u);
  EXPECT_EQ(second, 6u);
}

// The run lock's glue. A mutex belongs to a thread: a claim from another thread meets
// one this thread holds as another process would.
struct Claim {
  MutexClaim claim;
  std::wstring owner;
  Status error;
  bool operator==(const Claim& other) const {
    return claim == other.claim && owner == other.owner && error == other.error;
  }
};

Claim ClaimOn(const std::wstring& name, const std::wstring& sddl, bool anotherThread = false) {
  Claim result{MutexClaim::Failed, L"", 0};
  auto claim = [&] {
    Win32Processes processes;
    result.claim = processes.ClaimMutex(name, sddl, &result.owner, &result.error);
  };
  if (anotherThread) std::thread(claim).join(); else claim();
  return result;
}

std::wstring LockName(const wchar_t* what) {
  return L"Local\\KorvanaTestLock" + std::to_wstring(::GetCurrentProcessId()) + what;
}

TEST(Win32ClaimMutex, MakesItWithTheSecurityAskedForAndReadsTheOwnerOfOneFound) {
  const std::wstring runs = L"O:BAD:(A;;GA;;;BA)(A;;GA;;;SY)";
  const std::wstring admins = LockName(L"admins"), users = LockName(L"users"), closed = LockName(L"closed");
  EXPECT_EQ(ClaimOn(admins, runs), (Claim{MutexClaim::Created, L"", 0}));
  EXPECT_EQ(ClaimOn(admins, runs, true), (Claim{MutexClaim::HeldElsewhere, L"S-1-5-32-544", 0}));
  EXPECT_EQ(ClaimOn(admins, runs), (Claim{MutexClaim::Owned, L"S-1-5-32-544", 0}));  // its own again
  // Another account's, open to everybody: its owner says so.
  EXPECT_EQ(ClaimOn(users, L"O:BUD:(A;;GA;;;WD)"), (Claim{MutexClaim::Created, L"", 0}));
  EXPECT_EQ(ClaimOn(users, runs, true), (Claim{MutexClaim::HeldElsewhere, L"S-1-5-32-545", 0}));
  // One that lets nobody of this account in cannot be opened.
  EXPECT_EQ(ClaimOn(closed, L"O:SYD:(A;;GA;;;SY)").claim, MutexClaim::Created);
  EXPECT_EQ(ClaimOn(closed, runs, true), (Claim{MutexClaim::Failed, L"", ERROR_ACCESS_DENIED}));
}

TEST(Win32ClaimMutex, AbandonedOthersAndBadSecurity) {
  const std::wstring runs = L"O:BAD:(A;;GA;;;BA)(A;;GA;;;SY)";
  const std::wstring abandoned = LockName(L"abandoned"), event = LockName(L"event");
  ClaimOn(abandoned, runs, true);  // its thread ends holding it
  EXPECT_EQ(ClaimOn(abandoned, runs), (Claim{MutexClaim::OwnedAbandoned, L"S-1-5-32-544", 0}));
  // A name another kind of object holds.
  HANDLE other = ::CreateEventW(nullptr, TRUE, FALSE, event.c_str());
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(ClaimOn(event, runs), (Claim{MutexClaim::Failed, L"", ERROR_INVALID_HANDLE}));
  ::CloseHandle(other);
  const Claim bad = ClaimOn(LockName(L"bad"), L"O:BAD:(A;;XX;;;nobody");
  EXPECT_EQ(bad.claim, MutexClaim::Failed);
  EXPECT_NE(bad.error, 0u);
}

}  // namespace
}  // namespace korvana::win32
