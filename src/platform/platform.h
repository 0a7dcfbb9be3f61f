// The seam between the bootstrapper's logic and the machine.
//
// Everything above this header is plain C++ that builds on Linux as well as with
// MinGW: it never sees <windows.h>, a HANDLE or an HWND. Each interface here is small
// and named for one concern; its Win32 implementation (platform/win32/) is one Win32
// call, or a short fixed group of calls, that makes no decision of its own. Every
// decision, order, text and number a user or administrator can observe lives above.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvana {

// A Win32 or Windows Installer status code, 0 for success.
using Status = std::uint32_t;

// Who owns a message box or a dialog.
enum class Owner { None, OwnerWindow };

// ---------------------------------------------------------------------------------
// User interface: the hidden owner window, message boxes, modal dialogs.
class UserInterface {
 public:
  virtual ~UserInterface() = default;
  // Creates the hidden, disabled "STATIC" window that owns most boxes. A failure is
  // not reported: boxes then simply have no owner.
  virtual void CreateOwnerWindow() = 0;
  // MessageBoxW; returns the button pressed (IDOK 1, IDYES 6, IDNO 7, ...).
  virtual int ShowMessageBox(Owner owner, const std::wstring& text,
                             const std::wstring& caption, std::uint32_t style) = 0;
};

// ---------------------------------------------------------------------------------
// The catalogue of user texts, by numeric ID. Windows reads the executable's own
// string table; the native build reads the same table compiled in.
class MessageCatalog {
 public:
  virtual ~MessageCatalog() = default;
  // The text of entry `id`; empty when there is none.
  virtual std::wstring LoadText(std::uint16_t id) = 0;
};

// ---------------------------------------------------------------------------------
// Questions about the running system.

// One VerifyVersionInfoW query: an OSVERSIONINFOEXW holding only these three
// numbers (every other field zero), a type mask, and the conditions that
// VerSetConditionMask folds into the condition mask, in the order given.
struct VersionCondition {
  std::uint32_t typeBit;    // VER_MAJORVERSION, VER_MINORVERSION, ...
  std::uint8_t condition;   // VER_EQUAL, VER_LESS, ...
};
struct VersionQuery {
  std::uint32_t majorVersion = 0;
  std::uint32_t minorVersion = 0;
  std::uint16_t servicePackMajor = 0;
  std::uint32_t typeMask = 0;
  std::vector<VersionCondition> conditions;
};

struct NtVersion {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
};

// An exported function looked up in a loaded module.
struct ProcLookup {
  enum Result { NoModule, NoExport, Found } result = NoModule;
  std::uintptr_t entry = 0;  // the entry point when Found
};

class SystemProbes {
 public:
  virtual ~SystemProbes() = default;
  virtual bool IsUserAnAdmin() = 0;  // shell32 ordinal 680
  // VerifyVersionInfoW; any failure (a system that does not match included) is false.
  virtual bool VerifyVersion(const VersionQuery& query) = 0;
  // RtlGetNtVersionNumbers: the true major and minor version.
  virtual NtVersion GetNtVersion() = 0;
  // GetModuleHandleW(L"kernel32") then GetProcAddress(name).
  virtual ProcLookup FindKernel32Export(const char* name) = 0;
  // Calls IsWow64Process(GetCurrentProcess()) through `entry`: nullopt when the call
  // fails, else the reported flag.
  virtual std::optional<bool> CallIsWow64Process(std::uintptr_t entry) = 0;
  // Calls IsWow64Process2(GetCurrentProcess()) through `entry`: nullopt when the call
  // fails, else the native machine it reports.
  virtual std::optional<std::uint16_t> CallIsWow64Process2(std::uintptr_t entry) = 0;
  virtual std::uint16_t GetUserDefaultUILanguage() = 0;
  // GetModuleHandleW(name) != NULL; loads nothing.
  virtual bool IsModuleLoaded(const std::wstring& name) = 0;
};

// ---------------------------------------------------------------------------------
// The process's own command line.
class CommandLine {
 public:
  virtual ~CommandLine() = default;
  virtual std::wstring GetProcessCommandLine() = 0;  // GetCommandLineW
  // CommandLineToArgvW (the array freed with LocalFree); nullopt when it fails.
  virtual std::optional<std::vector<std::wstring>> Split(const std::wstring& commandLine) = 0;
};

// ---------------------------------------------------------------------------------
// Files, folders and the environment.

struct FolderEntry {
  std::wstring name;
  bool directory = false;  // FILE_ATTRIBUTE_DIRECTORY
};

// The outcome of a read that Windows reports through GetLastError.
struct TextRead {
  bool ok = false;          // the call returned non-zero
  std::wstring value;       // the text read when ok
  Status lastError = 0;     // GetLastError right after a failed read (0 if none was set)
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // The executable's full path, however long.
  virtual std::wstring ModulePath() = 0;
  // FindFirstFileW(pattern): the name (no folder) of the first entry it returns.
  virtual std::optional<std::wstring> FindFirstMatch(const std::wstring& pattern) = 0;
  // FindFirstFileW/FindNextFileW over `pattern`, every entry in file-system order.
  virtual std::vector<FolderEntry> ListEntries(const std::wstring& pattern) = 0;
  virtual bool Exists(const std::wstring& path) = 0;  // _wstat succeeds
  virtual bool DeleteFile(const std::wstring& path) = 0;
  // GetWindowsDirectoryW into 260 characters; nullopt when the call returns 0.
  virtual std::optional<std::wstring> GetWindowsDirectory() = 0;
  // GetSystemDirectoryW.
  virtual TextRead GetSystemDirectory() = 0;
  // GetEnvironmentVariableW: the size query, then the read into that size.
  virtual TextRead GetEnvironmentVariable(const std::wstring& name) = 0;
};

// ---------------------------------------------------------------------------------
// Registry. Keys are opaque tokens, closed through the interface (see RegistryKey).
using KeyToken = std::uintptr_t;

enum class RegistryRoot { CurrentUser, LocalMachine };

// Which export deletes a subkey: RegDeleteKeyExW from the already-loaded local
// registry API set, or RegDeleteKeyW from advapi32.dll (loaded with LoadLibraryW).
enum class DeleteKeyRoute { LocalRegistryApiSet, Advapi32 };

class Registry {
 public:
  virtual ~Registry() = default;
  // RegOpenKeyExW; 0 and a token, or the error.
  virtual Status OpenKey(RegistryRoot root, const std::wstring& subKey, std::uint32_t access,
                         KeyToken* key) = 0;
  // RegCreateKeyExW, no class, REG_OPTION_NON_VOLATILE, default security.
  virtual Status CreateKey(RegistryRoot root, const std::wstring& subKey, std::uint32_t access,
                           KeyToken* key) = 0;
  virtual void CloseKey(KeyToken key) = 0;
  // Deletes `name` below `parent` through `route`; ERROR_PROC_NOT_FOUND or
  // ERROR_MOD_NOT_FOUND when the export cannot be reached, else the call's status.
  virtual Status DeleteSubKey(KeyToken parent, const std::wstring& name, DeleteKeyRoute route) = 0;
};

// ---------------------------------------------------------------------------------
// Windows Installer, as thin as msi.dll itself (msi.dll comes from System32 only).
using MsiHandle = std::uint32_t;

class WindowsInstaller {
 public:
  virtual ~WindowsInstaller() = default;
  virtual void SetInternalUI(std::uint32_t level) = 0;  // no window
  virtual Status OpenPackageEx(const std::wstring& path, std::uint32_t options, MsiHandle* handle) = 0;
  // `buffer` may be null only when *size is 0.
  virtual Status GetProperty(MsiHandle handle, const std::wstring& name, wchar_t* buffer,
                             std::uint32_t* size) = 0;
  virtual void CloseHandle(MsiHandle handle) = 0;
  // `buffer` holds 39 characters.
  virtual Status EnumRelatedProducts(const std::wstring& upgradeCode, std::uint32_t index,
                                     wchar_t* buffer) = 0;
  // `buffer` null asks for the length.
  virtual Status GetProductInfo(const std::wstring& product, const std::wstring& property,
                                wchar_t* buffer, std::uint32_t* size) = 0;
  virtual int QueryProductState(const std::wstring& product) = 0;
  virtual int QueryFeatureState(const std::wstring& product, const std::wstring& feature) = 0;
  virtual Status SourceListClearAll(const std::wstring& product) = 0;  // no user name
  virtual Status SourceListSetInfo(const std::wstring& product, std::uint32_t context,
                                   std::uint32_t options, const std::wstring& property,
                                   const std::wstring& value) = 0;  // no user SID
};

// ---------------------------------------------------------------------------------
// Processes: children, this process's end, and the pieces of a system restart.
class Processes {
 public:
  virtual ~Processes() = default;
  // Starts `commandLine` (no application name, CREATE_NO_WINDOW), waits without a
  // time limit; the exit code, or GetLastError of the failed start.
  virtual Status RunAndWait(const std::wstring& commandLine) = 0;
  // Ends this process normally (static clean-up runs).
  [[noreturn]] virtual void ExitProcess(std::uint32_t code) = 0;
};

// The steps of a restart request; RestartComputer (platform/restart.h) orders them.
class PowerControl {
 public:
  virtual ~PowerControl() = default;
  // OpenProcessToken(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY), LookupPrivilegeValueW
  // ("SeShutdownPrivilege") and AdjustTokenPrivileges(SE_PRIVILEGE_ENABLED).
  // nullopt when the token cannot be opened, else GetLastError right after the adjust.
  virtual std::optional<Status> EnableShutdownPrivilege() = 0;
  virtual bool ExitWindows(std::uint32_t flags, std::uint32_t reason) = 0;  // ExitWindowsEx
};

// ---------------------------------------------------------------------------------
// Clock and standard output.
struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Now() = 0;                          // time + localtime
  virtual void WriteLine(const std::wstring& text) = 0;  // _putws
};

// ---------------------------------------------------------------------------------
// Everything the logic may ask of the machine, in one bundle of references.
struct Platform {
  UserInterface& ui;
  MessageCatalog& texts;
  SystemProbes& system;
  CommandLine& commandLine;
  FileSystem& files;
  Registry& registry;
  WindowsInstaller& msi;
  Processes& processes;
  PowerControl& power;
  Clock& clock;
};

// Owns one token that a service hands out (a registry key, a package handle) and
// gives it back through `Close` exactly once, on every way out; a token of 0, which
// stands for none, is not given back. Never copied.
template <class Service, class Token, void (Service::*Close)(Token)>
class ScopedToken {
 public:
  explicit ScopedToken(Service& service) : service_(service) {}
  ScopedToken(const ScopedToken&) = delete;
  ScopedToken& operator=(const ScopedToken&) = delete;
  ~ScopedToken() {
    if (token_ != 0) (service_.*Close)(token_);
  }
  Token* Receive() { return &token_; }
  Token get() const { return token_; }

 private:
  Service& service_;
  Token token_ = 0;
};

// An open registry key, closed on every way out.
using RegistryKey = ScopedToken<Registry, KeyToken, &Registry::CloseKey>;

}  // namespace korvana
