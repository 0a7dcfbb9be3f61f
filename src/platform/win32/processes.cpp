#include "platform/win32/processes.h"

#include <vector>

// advapi32, imported like the registry calls: a known DLL, always from System32.
#include <aclapi.h>
#include <sddl.h>

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

MutexClaim Win32Processes::ClaimMutex(const std::wstring& name, const std::wstring& sddl,
                                      std::wstring* owner, Status* error) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
    *error = ::GetLastError();
    return MutexClaim::Failed;
  }
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  HANDLE mutex = ::CreateMutexW(&attributes, TRUE, name.c_str());
  const DWORD created = ::GetLastError();
  ::LocalFree(descriptor);
  if (mutex == nullptr) {
    *error = created;
    return MutexClaim::Failed;
  }
  // Created by this call, it is this process's already. The handle is never closed:
  // the process holds the mutex for as long as it lives.
  if (created != ERROR_ALREADY_EXISTS) return MutexClaim::Created;
  // Opened with MUTEX_ALL_ACCESS, READ_CONTROL among it: its owner can be read.
  PSID sid = nullptr;
  PSECURITY_DESCRIPTOR read = nullptr;
  *error = ::GetSecurityInfo(mutex, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &sid, nullptr,
                             nullptr, nullptr, &read);
  wchar_t* text = nullptr;
  if (*error == ERROR_SUCCESS && sid != nullptr && ::ConvertSidToStringSidW(sid, &text)) {
    *owner = text;
    ::LocalFree(text);
  }
  ::LocalFree(read);
  MutexClaim claim = MutexClaim::Failed;
  if (*error == ERROR_SUCCESS) {
    switch (::WaitForSingleObject(mutex, 0)) {
      case WAIT_OBJECT_0: return MutexClaim::Owned;
      case WAIT_ABANDONED: return MutexClaim::OwnedAbandoned;
      default: claim = MutexClaim::HeldElsewhere;
    }
  }
  ::CloseHandle(mutex);
  return claim;
}

}  // namespace korvana::win32
