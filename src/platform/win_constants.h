// Win32 and Windows Installer numbers that the logic uses, named as the platform
// names them. The logic never includes <windows.h>; this header must never meet it
// in one translation unit (the guard below says so at once).
#pragma once

#include <cstdint>

#if defined(MB_OK) || defined(ERROR_SUCCESS)
#error "win_constants.h is for code above the platform seam; do not mix it with <windows.h>"
#endif

namespace korvana::win {

// Message box styles and answers.
inline constexpr std::uint32_t MB_OK = 0x00000000;
inline constexpr std::uint32_t MB_YESNO = 0x00000004;
inline constexpr std::uint32_t MB_ICONERROR = 0x00000010;
inline constexpr std::uint32_t MB_ICONINFORMATION = 0x00000040;
inline constexpr std::uint32_t MB_SETFOREGROUND = 0x00010000;
inline constexpr std::uint32_t MB_TOPMOST = 0x00040000;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// Status codes.
inline constexpr std::uint32_t ERROR_SUCCESS = 0;
inline constexpr std::uint32_t ERROR_FILE_NOT_FOUND = 2;
inline constexpr std::uint32_t ERROR_PATH_NOT_FOUND = 3;
inline constexpr std::uint32_t ERROR_MOD_NOT_FOUND = 126;
inline constexpr std::uint32_t ERROR_PROC_NOT_FOUND = 127;
inline constexpr std::uint32_t ERROR_FILE_EXISTS = 80;
inline constexpr std::uint32_t ERROR_BAD_PATHNAME = 161;
inline constexpr std::uint32_t ERROR_ALREADY_EXISTS = 183;
inline constexpr std::uint32_t ERROR_ENVVAR_NOT_FOUND = 203;
inline constexpr std::uint32_t ERROR_NO_DATA = 232;
inline constexpr std::uint32_t ERROR_NO_MORE_ITEMS = 259;
inline constexpr std::uint32_t ERROR_NOT_ALL_ASSIGNED = 1300;
inline constexpr std::uint32_t ERROR_INSTALL_USEREXIT = 1602;
inline constexpr std::uint32_t ERROR_INSTALL_FAILURE = 1603;
inline constexpr std::uint32_t ERROR_INSTALL_PACKAGE_INVALID = 1620;
inline constexpr std::uint32_t ERROR_PRODUCT_VERSION = 1638;
inline constexpr std::uint32_t ERROR_SUCCESS_REBOOT_INITIATED = 1641;
inline constexpr std::uint32_t ERROR_SUCCESS_REBOOT_REQUIRED = 3010;
inline constexpr std::uint32_t ERROR_SUCCESS_RESTART_REQUIRED = 3011;

// Registry access.
inline constexpr std::uint32_t KEY_QUERY_VALUE = 0x00000001;
inline constexpr std::uint32_t KEY_READ = 0x00020019;
inline constexpr std::uint32_t KEY_WRITE = 0x00020006;
inline constexpr std::uint32_t KEY_WOW64_32KEY = 0x00000200;

// ExitWindowsEx.
inline constexpr std::uint32_t EWX_REBOOT = 0x00000002;
inline constexpr std::uint32_t EWX_RESTARTAPPS = 0x00000040;
inline constexpr std::uint32_t SHTDN_REASON_MAJOR_APPLICATION = 0x00040000;

// Processor and language.
inline constexpr std::uint16_t IMAGE_FILE_MACHINE_ARM64 = 0xAA64;
// Russian (Russia) as a whole LANGID: MAKELANGID(LANG_RUSSIAN, SUBLANG_RUSSIAN_RUSSIA).
inline constexpr std::uint16_t LANGID_RUSSIAN_RUSSIA = 0x0419;

// Windows Installer.
inline constexpr std::uint32_t INSTALLUILEVEL_NONE = 2;
inline constexpr std::uint32_t MSIOPENPACKAGEFLAGS_IGNOREMACHINESTATE = 1;
inline constexpr int INSTALLSTATE_ABSENT = 2;
inline constexpr int INSTALLSTATE_DEFAULT = 5;
inline constexpr std::uint32_t MSIINSTALLCONTEXT_MACHINE = 4;
inline constexpr std::uint32_t MSICODE_PRODUCT = 0;

// Window messages.
inline constexpr std::uint32_t WM_DESTROY = 0x0002;
inline constexpr std::uint32_t WM_COMMAND = 0x0111;
inline constexpr std::uint32_t WM_USER = 0x0400;

// Service control manager.
inline constexpr std::uint32_t SC_MANAGER_ENUMERATE_SERVICE = 0x0004;
inline constexpr std::uint32_t SERVICE_QUERY_STATUS = 0x0004;

// Files.
inline constexpr std::uint32_t GENERIC_READ = 0x80000000;
inline constexpr std::uint32_t GENERIC_WRITE = 0x40000000;
inline constexpr std::uint32_t FILE_SHARE_READ = 0x00000001;
inline constexpr std::uint32_t CREATE_NEW = 1;
inline constexpr std::uint32_t OPEN_EXISTING = 3;
inline constexpr std::uint32_t FILE_ATTRIBUTE_NORMAL = 0x00000080;

// WinINet.
inline constexpr std::uint32_t INTERNET_OPEN_TYPE_PRECONFIG = 0;
inline constexpr std::uint32_t HTTP_QUERY_CONTENT_DISPOSITION = 47;
inline constexpr std::uint32_t INTERNET_FLAG_RELOAD = 0x80000000;
inline constexpr std::uint32_t INTERNET_FLAG_NO_CACHE_WRITE = 0x04000000;

}  // namespace korvana::win
