#include "platform/win32/system_probes.h"

#include "platform/win32/unique_handle.h"

namespace korvana::win32 {
namespace {

using IsUserAnAdminFunction = BOOL(WINAPI*)();
using RtlGetNtVersionNumbersFunction = void(WINAPI*)(DWORD* major, DWORD* minor, DWORD* build);
using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW* info);
using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE process, BOOL* wow64);
using IsWow64Process2Function = BOOL(WINAPI*)(HANDLE process, USHORT* processMachine,
                                              USHORT* nativeMachine);

}  // namespace

bool Win32SystemProbes::IsUserAnAdmin() {
  // Normally loaded already (CommandLineToArgvW is imported from it); the load only
  // takes a reference. shell32 is a KnownDLL and the search path is limited to
  // System32 at start, so the name cannot be planted.
  UniqueLoadedModule shell32(::LoadLibraryW(L"shell32.dll"));
  auto isUserAnAdmin = FindExport<IsUserAnAdminFunction>(
      shell32.get(), MAKEINTRESOURCEA(kIsUserAnAdminOrdinal));
  return isUserAnAdmin != nullptr && isUserAnAdmin() != FALSE;
}

bool Win32SystemProbes::VerifyVersion(const VersionQuery& query) {
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  info.dwMajorVersion = query.majorVersion;
  info.dwMinorVersion = query.minorVersion;
  info.wServicePackMajor = query.servicePackMajor;
  DWORDLONG conditionMask = 0;
  for (const VersionCondition& condition : query.conditions) {
    conditionMask = ::VerSetConditionMask(conditionMask, condition.typeBit, condition.condition);
  }
  return ::VerifyVersionInfoW(&info, query.typeMask, conditionMask) != FALSE;
}

NtVersion Win32SystemProbes::GetNtVersion() {
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  if (auto numbers = FindExport<RtlGetNtVersionNumbersFunction>(ntdll, "RtlGetNtVersionNumbers")) {
    DWORD major = 0, minor = 0;
    numbers(&major, &minor, nullptr);
    return {major, minor};
  }
  // Not every ntdll exports the numbers; RtlGetVersion tells the truth as well
  // (unlike GetVersionExW, it is not bent by compatibility settings).
  if (auto getVersion = FindExport<RtlGetVersionFunction>(ntdll, "RtlGetVersion")) {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (getVersion(&info) == 0) return {info.dwMajorVersion, info.dwMinorVersion};
  }
  return {};
}

ProcLookup Win32SystemProbes::FindKernel32Export(const char* name) {
  HMODULE kernel32 = ::GetModuleHandleW(L"kernel32");
  if (kernel32 == nullptr) return {ProcLookup::NoModule, 0};
  FARPROC entry = ::GetProcAddress(kernel32, name);
  if (entry == nullptr) return {ProcLookup::NoExport, 0};
  return {ProcLookup::Found, reinterpret_cast<std::uintptr_t>(entry)};
}

std::optional<bool> Win32SystemProbes::CallIsWow64Process(std::uintptr_t entry) {
  auto isWow64Process = reinterpret_cast<IsWow64ProcessFunction>(entry);
  BOOL wow64 = FALSE;
  if (!isWow64Process(::GetCurrentProcess(), &wow64)) return std::nullopt;
  return wow64 != FALSE;
}

std::optional<std::uint16_t> Win32SystemProbes::CallIsWow64Process2(std::uintptr_t entry) {
  auto isWow64Process2 = reinterpret_cast<IsWow64Process2Function>(entry);
  USHORT processMachine = 0, nativeMachine = 0;
  if (!isWow64Process2(::GetCurrentProcess(), &processMachine, &nativeMachine)) {
    return std::nullopt;
  }
  return nativeMachine;
}

std::uint16_t Win32SystemProbes::GetUserDefaultUILanguage() {
  return ::GetUserDefaultUILanguage();
}

bool Win32SystemProbes::IsModuleLoaded(const std::wstring& name) {
  return ::GetModuleHandleW(name.c_str()) != nullptr;
}

}  // namespace korvana::win32
