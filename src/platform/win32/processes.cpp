#include "platform/win32/processes.h"

#include <vector>

#include "platform/win32/unique_handle.h"

namespace korvana::win32 {

Status Win32Processes::RunAndWait(const std::wstring& commandLine, const std::wstring& application) {
  // CreateProcessW may write into the command line it is given: hand it our own copy.
  std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back(L'\0');

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started{};
  // Without an application name the program is the first token, found by the usual
  // search. CREATE_NO_WINDOW keeps console programs from opening a console.
  if (!::CreateProcessW(application.empty() ? nullptr : application.c_str(), buffer.data(),
                        nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &started)) {
    return ::GetLastError();
  }
  UniqueKernelHandle process(started.hProcess);
  UniqueKernelHandle thread(started.hThread);

  ::WaitForSingleObject(process.get(), INFINITE);
  DWORD exitCode = 0;
  // A code that cannot be read is no success.
  if (!::GetExitCodeProcess(process.get(), &exitCode)) return ::GetLastError();
  return exitCode;
}


MutexClaim Win32Processes::ClaimMutex(const std::wstring& name, Status* error) {
  HANDLE mutex = ::CreateMutexW(nullptr, TRUE, name.c_str());
  if (mutex == nullptr) {
    *error = ::GetLastError();
    return MutexClaim::Failed;
  }
  // Created by this call, it is this process's already. The handle is never closed:
  // the process holds the mutex for as long as it lives.
  if (::GetLastError() != ERROR_ALREADY_EXISTS) return MutexClaim::Owned;
  switch (::WaitForSingleObject(mutex, 0)) {
    case WAIT_OBJECT_0: return MutexClaim::Owned;
    case WAIT_ABANDONED: return MutexClaim::OwnedAbandoned;
    default:
      ::CloseHandle(mutex);
      return MutexClaim::HeldElsewhere;
  }
}

}  // namespace korvana::win32
