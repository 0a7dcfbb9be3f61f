// Starting children and waiting for them, against the real system.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace korvana::win32
