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

bool Win32SystemProbes::IsBelowServicePack(std::uint32_t major, std::uint32_t minor,
                                           std::uint16_t servicePack) {
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  info.dwMajorVersion = major;
  info.dwMinorVersion = minor;
  info.wServicePackMajor = servicePack;
  DWORDLONG conditionMask = ::VerSetConditionMask(0, VER_MAJORVERSION, VER_EQUAL);
  conditionMask = ::VerSetConditionMask(conditionMask, VER_MINORVERSION, VER_EQUAL);
  conditionMask = ::VerSetConditionMask(conditionMask, VER_SERVICEPACKMAJOR, VER_LESS);
  return ::VerifyVersionInfoW(&info, VER_MINORVERSION | VER_MAJORVERSION | VER_SERVICEPACKMAJOR,
                              conditionMask) != FALSE;
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

std::optional<bool> Win32SystemProbes::IsWow64() {
  if (!isWow64ProcessLooked_) {
    HMODULE kernel32 = ::GetModuleHandleW(L"kernel32");
    if (kernel32 == nullptr) return std::nullopt;  // nothing known yet: looked up again
    isWow64Process_ = ::GetProcAddress(kernel32, "IsWow64Process");
    isWow64ProcessLooked_ = true;
  }
  if (isWow64Process_ == nullptr) return std::nullopt;
  auto isWow64Process = reinterpret_cast<IsWow64ProcessFunction>(
      reinterpret_cast<void*>(isWow64Process_));
  BOOL wow64 = FALSE;
  if (!isWow64Process(::GetCurrentProcess(), &wow64)) return std::nullopt;
  return wow64 != FALSE;
}

std::optional<std::uint16_t> Win32SystemProbes::NativeMachine() {
  auto isWow64Process2 =
      FindExport<IsWow64Process2Function>(::GetModuleHandleW(L"kernel32"), "IsWow64Process2");
  USHORT processMachine = 0, nativeMachine = 0;
  if (isWow64Process2 == nullptr ||
      !isWow64Process2(::GetCurrentProcess(), &processMachine, &nativeMachine))
    return std::nullopt;
  return nativeMachine;
}

std::uint16_t Win32SystemProbes::GetUserDefaultUILanguage() {
  return ::GetUserDefaultUILanguage();
}

bool Win32SystemProbes::IsModuleLoaded(const std::wstring& name) {
  return ::GetModuleHandleW(name.c_str()) != nullptr;
}

}  // namespace korvana::win32
