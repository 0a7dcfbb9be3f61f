// The seam between the bootstrapper's logic and the machine.
//
// Everything above this header is plain C++ that builds on Linux as well as with
// MinGW: it never sees <windows.h>, a HANDLE or an HWND. Each interface here is small
// and named for one concern; its Win32 implementation (platform/win32/) is one Win32
// call, or a short fixed group of calls, that makes no decision of its own. Every
// decision, order, text and number a user or administrator can observe lives above.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace korvana {

// A Win32 or Windows Installer status code, 0 for success.
using Status = std::uint32_t;

// What a read of a text or a value came to: when `ok`, `value` holds it; else `status`
// is the error reported (0 where none was) and `value` what the read left, if anything.
template <class T>
struct Read {
  bool ok = false;
  T value{};
  Status status = 0;
};

// Handles cross the seam as tokens, one distinct type for each kind, so that a
// registry key cannot be passed where a file or an Internet handle is expected. The
// value of a token is the handle's; a token of 0 (Token{}) stands for none.
enum class WindowToken : std::uintptr_t {};    // a window handle
enum class IconToken : std::uintptr_t {};      // an icon handle
enum class FileToken : std::uintptr_t {};      // an open file
enum class KeyToken : std::uintptr_t {};       // an open registry key
enum class MsiToken : std::uint32_t {};       // a Windows Installer handle
enum class ServiceToken : std::uintptr_t {};   // an SC_HANDLE
enum class ThreadToken : std::uintptr_t {};    // a thread handle
enum class InternetToken : std::uintptr_t {};  // an HINTERNET
enum class LibraryToken : std::uintptr_t {};   // an HMODULE

// Whether a token holds a handle.
template <class Token>
constexpr bool IsOpen(Token token) {
  return token != Token{};
}

// Who owns a message box or a dialog.
enum class Owner { None, OwnerWindow };

// ---------------------------------------------------------------------------------
// Modal dialogs. What a dialog decides lives in a DialogLogic above the seam; the
// Win32 dialog procedure forwards the messages to it and hands it the controls.

class DialogControls {
 public:
  virtual ~DialogControls() = default;
  virtual WindowToken Window() = 0;
  virtual void SetText(int id, const std::wstring& text) = 0;  // SetDlgItemTextW
  virtual void Check(int id, bool checked) = 0;                // CheckDlgButton
  virtual bool IsChecked(int id) = 0;                          // IsDlgButtonChecked == BST_CHECKED
  virtual bool IsEnabled(int id) = 0;                          // IsWindowEnabled
  virtual void Enable(int id, bool enabled) = 0;               // EnableWindow
  virtual void End(std::intptr_t result) = 0;                  // EndDialog
  // LoadImageW of the program's icon `iconId`, shared; when it loads, WM_SETICON
  // with ICON_BIG, then with ICON_SMALL.
  virtual void SetIcon(std::uint16_t iconId) = 0;
  virtual void Show(int id, bool visible) = 0;  // ShowWindow(SW_SHOW / SW_HIDE)
  // GetDlgItemTextW into room for `maxCharacters` and the terminating null.
  virtual std::wstring GetText(int id, int maxCharacters) = 0;
  // An icon of the dialog's own: LoadImageW of the program's icon `iconId` at
  // size x size pixels, not shared (0 when it cannot be loaded); WM_SETICON with
  // ICON_BIG, then ICON_SMALL, whatever the handle; DestroyIcon.
  virtual IconToken LoadOwnIcon(std::uint16_t iconId, int size) = 0;
  virtual void SetIcons(IconToken icon) = 0;
  virtual void DestroyIcon(IconToken icon) = 0;
  // Attaches the foreground window's thread input to this thread, makes the dialog
  // the foreground window, gives it the focus, and detaches again.
  virtual void BringToFront() = 0;
};

class DialogLogic {
 public:
  virtual ~DialogLogic() = default;
  // WM_INITDIALOG: the procedure's result (true lets the default focus be set).
  virtual bool OnInitDialog(DialogControls& controls) = 0;
  // Every later message; false leaves it to the default dialog processing.
  virtual bool OnMessage(DialogControls& controls, std::uint32_t message, std::uintptr_t wParam,
                         std::intptr_t lParam) = 0;
};

// ---------------------------------------------------------------------------------
// User interface: the hidden owner window, message boxes, modal dialogs.
class UserInterface {
 public:
  virtual ~UserInterface() = default;
  // Loads comctl32.dll by name (the manifest's activation context sends the name to
  // the version 6 side-by-side copy) and calls its InitCommonControlsEx with
  // ICC_STANDARD_CLASSES; the library stays loaded. 0, or GetLastError of the load,
  // ERROR_PROC_NOT_FOUND without the export, or GetLastError of a call that failed
  // (ERROR_GEN_FAILURE for a failure that set no code).
  virtual Status InitCommonControls() = 0;
  // GetProcessWindowStation and GetUserObjectInformationW(UOI_FLAGS): whether
  // WSF_VISIBLE is set, i.e. whether a window of this process can ever be seen (a
  // service's station in session 0 has no display, and a box there never returns).
  // nullopt when either call fails.
  virtual std::optional<bool> IsWindowStationVisible() = 0;
  // Creates the hidden, disabled "STATIC" window that owns most boxes. A failure is
  // not reported: boxes then simply have no owner.
  virtual void CreateOwnerWindow() = 0;
  // MessageBoxW; returns the button pressed (IDOK 1, IDYES 6, IDNO 7, ...).
  virtual int ShowMessageBox(Owner owner, const std::wstring& text,
                             const std::wstring& caption, std::uint32_t style) = 0;
  // DialogBoxParamW: the program's own template `templateId`, owned by `owner`,
  // parameter 0, and a procedure that forwards every message to `logic`. The
  // dialog's result, or -1 when it cannot be shown.
  virtual std::intptr_t ShowDialog(std::uint16_t templateId, Owner owner, DialogLogic& logic) = 0;
  // PostMessageW; false when the message could not be posted. Any thread may call it.
  virtual bool PostMessage(WindowToken window, std::uint32_t message, std::uintptr_t wParam,
                           std::intptr_t lParam) = 0;
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

struct NtVersion {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
};

class SystemProbes {
 public:
  virtual ~SystemProbes() = default;
  virtual bool IsUserAnAdmin() = 0;  // shell32 ordinal 680
  // Whether the system is exactly `major`.`minor` with a service-pack major number
  // below `servicePack` (VerifyVersionInfoW); a failed call is false.
  virtual bool IsBelowServicePack(std::uint32_t major, std::uint32_t minor,
                                  std::uint16_t servicePack) = 0;
  // RtlGetNtVersionNumbers: the true major and minor version.
  virtual NtVersion GetNtVersion() = 0;
  // Whether this is a 32-bit process on 64-bit Windows: IsWow64Process, its entry looked
  // up in kernel32 once for the process. nullopt without the export or when the call fails.
  virtual std::optional<bool> IsWow64() = 0;
  // The machine's own architecture (IMAGE_FILE_MACHINE_...): IsWow64Process2, looked up
  // in kernel32 at every call. nullopt without the export or when the call fails.
  virtual std::optional<std::uint16_t> NativeMachine() = 0;
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
// Files and folders. Reads report GetLastError right after a failed call.

struct FolderEntry {
  std::wstring name;
  bool directory = false;  // FILE_ATTRIBUTE_DIRECTORY
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // The executable's full path, however long.
  virtual std::wstring ModulePath() = 0;
  // FindFirstFileW/FindNextFileW over `pattern`, every entry in file-system order.
  virtual std::vector<FolderEntry> ListEntries(const std::wstring& pattern) = 0;
  virtual bool Exists(const std::wstring& path) = 0;  // _wstat succeeds
  virtual bool DeleteFile(const std::wstring& path) = 0;
  // CreateDirectoryW with default security: 0, or GetLastError (ERROR_ALREADY_EXISTS
  // for any name that exists, a file's included).
  virtual Status CreateFolder(const std::wstring& path) = 0;
  // GetWindowsDirectoryW into 260 characters; not ok (status 0) when the folder
  // does not fit or the call returns 0.
  virtual Read<std::wstring> GetWindowsDirectory() = 0;
  // GetSystemDirectoryW, however long.
  virtual Read<std::wstring> GetSystemDirectory() = 0;
  // GetCurrentDirectoryW, however long.
  virtual Read<std::wstring> GetCurrentDirectory() = 0;
  // CreateFileW(path, access, share, no security, disposition, attributes, no
  // template); 0 when it fails (Win32's INVALID_HANDLE_VALUE), and then, when `error`
  // is given, *error is GetLastError.
  virtual FileToken CreateFile(const std::wstring& path, std::uint32_t access, std::uint32_t share,
                               std::uint32_t disposition, std::uint32_t attributes,
                               Status* error = nullptr) = 0;
  // WriteFile of all `size` bytes; false when the call fails or writes fewer.
  virtual bool WriteFile(FileToken file, const void* data, std::uint32_t size) = 0;
  virtual void CloseFile(FileToken file) = 0;  // CloseHandle
  // CreateDirectoryW(path) with the security descriptor that advapi32's
  // ConvertStringSecurityDescriptorToSecurityDescriptorW makes of `sddl` (SDDL
  // revision 1; freed with LocalFree). 0, or GetLastError of the failed conversion or
  // creation: ERROR_ALREADY_EXISTS for anything already there by that name, a
  // folder, a file or a link.
  virtual Status CreateSecuredFolder(const std::wstring& path, const std::wstring& sddl) = 0;
  // RemoveDirectoryW; 0, or GetLastError (ERROR_DIR_NOT_EMPTY while it holds anything).
  virtual Status RemoveFolder(const std::wstring& path) = 0;
  // RtlGenRandom (SystemFunction036, on every Windows since XP: from cryptbase.dll in
  // System32 by full path where that exists, else from the loaded advapi32.dll) into
  // `size` bytes; false when it fails or cannot be found.
  virtual bool FillRandom(void* buffer, std::uint32_t size) = 0;
};

// ---------------------------------------------------------------------------------
// The process's environment; reads report GetLastError right after a failed call.
class Environment {
 public:
  virtual ~Environment() = default;
  // GetEnvironmentVariableW: the size query, then the read into that size. A variable
  // that is set but empty is not ok, with status 0.
  virtual Read<std::wstring> GetVariable(const std::wstring& name) = 0;
  // ExpandEnvironmentStringsW: the size query, then the expansion into that size.
  virtual Read<std::wstring> Expand(const std::wstring& text) = 0;
};

// ---------------------------------------------------------------------------------
// Registry. Keys are tokens, closed through the interface (see RegistryKey).
enum class RegistryRoot { CurrentUser, LocalMachine };

// A registry value that holds a text.
struct RegistryText {
  std::wstring text;
  bool expandable = false;  // REG_EXPAND_SZ: it names environment variables to expand
};

class Registry {
 public:
  virtual ~Registry() = default;
  // RegOpenKeyExW; 0 and a token, or the error.
  virtual Status OpenKey(RegistryRoot root, const std::wstring& subKey, std::uint32_t access,
                         KeyToken* key) = 0;
  // RegCreateKeyExW, no class, REG_OPTION_NON_VOLATILE, default security.
  virtual Status CreateKey(RegistryRoot root, const std::wstring& subKey, std::uint32_t access,
                           KeyToken* key) = 0;
  // RegOpenKeyExW below an open key.
  virtual Status OpenSubKey(KeyToken parent, const std::wstring& subKey, std::uint32_t access,
                            KeyToken* key) = 0;
  // RegQueryValueExW into 520 bytes: a REG_SZ or REG_EXPAND_SZ value up to its first
  // null. Not ok: the call's status; ERROR_UNSUPPORTED_TYPE for a value of another
  // type, ERROR_MORE_DATA for a text that fills the 520 bytes (it may be cut short).
  virtual Read<RegistryText> QueryText(KeyToken key, const std::wstring& name) = 0;
  virtual void CloseKey(KeyToken key) = 0;
  // Deletes `name` below `parent`: RegDeleteKeyExW of the local registry API set where
  // that is loaded already, else RegDeleteKeyW of advapi32.dll (loaded with
  // LoadLibraryW). ERROR_PROC_NOT_FOUND or ERROR_MOD_NOT_FOUND when the export cannot
  // be reached, else the call's status.
  virtual Status DeleteSubKey(KeyToken parent, const std::wstring& name) = 0;
};

// ---------------------------------------------------------------------------------
// Windows Installer (msi.dll, from System32 only). Reads are ok when the status is 0.

// A read that asks for the value's length first: `lengthRead` tells whether that much
// succeeded (with a length that leaves room for the null).
struct SizedRead : Read<std::wstring> {
  bool lengthRead = false;
};

class WindowsInstaller {
 public:
  virtual ~WindowsInstaller() = default;
  virtual void SetInternalUI(std::uint32_t level) = 0;  // no window
  virtual Status OpenPackageEx(const std::wstring& path, std::uint32_t options, MsiToken* handle) = 0;
  // MsiGetPropertyW twice: into no room, to learn the length (any status but
  // ERROR_MORE_DATA is the answer, an empty value on success), then into room for the
  // value and its null. The value up to its first null, also what a failed call left.
  virtual Read<std::wstring> GetProperty(MsiToken handle, const std::wstring& name) = 0;
  virtual void CloseHandle(MsiToken handle) = 0;
  // MsiEnumRelatedProductsW into 39 characters: a product code, up to its first null.
  virtual Read<std::wstring> EnumRelatedProducts(const std::wstring& upgradeCode,
                                                 std::uint32_t index) = 0;
  // MsiGetProductInfoW twice: the length (no buffer), then the value with room for its
  // null, up to its first null.
  virtual SizedRead GetProductInfo(const std::wstring& product, const std::wstring& property) = 0;
  // MsiGetProductInfoW once, into room for `maxCharacters` and the null: a longer value
  // is not read (ERROR_MORE_DATA).
  virtual Read<std::wstring> GetProductInfoUpTo(const std::wstring& product,
                                                const std::wstring& property,
                                                std::uint32_t maxCharacters) = 0;
  virtual int QueryProductState(const std::wstring& product) = 0;
  virtual int QueryFeatureState(const std::wstring& product, const std::wstring& feature) = 0;
  virtual Status SourceListClearAll(const std::wstring& product) = 0;  // no user name
  virtual Status SourceListSetInfo(const std::wstring& product, std::uint32_t context,
                                   std::uint32_t options, const std::wstring& property,
                                   const std::wstring& value) = 0;  // no user SID
};

// ---------------------------------------------------------------------------------
// Processes: children, the lock one run holds against the next, and the pieces of a
// system restart.

// What claiming a named mutex came to.
enum class MutexClaim {
  Created,         // made by this call, with the security asked for: this process owns it
  Owned,           // it existed and was free: this process owns it now
  OwnedAbandoned,  // it existed, its last owner ended without releasing it; this process owns it now
  HeldElsewhere,   // it existed and another process owns it
  Failed,          // it could neither be created nor opened, or its owner not read
};

class Processes {
 public:
  virtual ~Processes() = default;
  // Starts `commandLine` (CREATE_NO_WINDOW) as the program `application`, a full path,
  // or, when it is empty, as the program the command line's first token names; waits
  // without a time limit. The exit code, or GetLastError of the failed start or of a
  // failed GetExitCodeProcess.
  virtual Status RunAndWait(const std::wstring& commandLine, const std::wstring& application) = 0;
  // CreateMutexW(initially owned, name) with the security descriptor that
  // ConvertStringSecurityDescriptorToSecurityDescriptorW makes of `sddl` (SDDL
  // revision 1), which applies only when this call creates it. When it existed
  // already (ERROR_ALREADY_EXISTS; the handle then has MUTEX_ALL_ACCESS, READ_CONTROL
  // among it): *owner becomes its owner's SID as ConvertSidToStringSidW spells it
  // (GetSecurityInfo), empty when it has none, then WaitForSingleObject on it without
  // waiting. An owned mutex stays owned until the process ends; the handle of one held
  // elsewhere, or whose owner cannot be read, is closed. *error: GetLastError of a
  // failed conversion or create, or GetSecurityInfo's result.
  virtual MutexClaim ClaimMutex(const std::wstring& name, const std::wstring& sddl,
                                std::wstring* owner, Status* error) = 0;
};

// The steps of a restart request; RestartComputer (support/restart.h) orders them.
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
// The service control manager, asked only whether a service exists.
class Services {
 public:
  virtual ~Services() = default;
  // OpenSCManagerW(local machine, active database, access); 0 when it fails.
  virtual ServiceToken OpenManager(std::uint32_t access) = 0;
  // OpenServiceW; 0 when it fails.
  virtual ServiceToken OpenService(ServiceToken manager, const std::wstring& name,
                                   std::uint32_t access) = 0;
  virtual void CloseService(ServiceToken handle) = 0;  // CloseServiceHandle
};

// ---------------------------------------------------------------------------------
// A second thread. The body is shared: the thread holds it for as long as it runs,
// so a thread that is given up on never outlives what it works on.
class ThreadBody {
 public:
  virtual ~ThreadBody() = default;
  virtual std::uint32_t Run() = 0;  // the thread's whole life; its exit code
};

class Threads {
 public:
  virtual ~Threads() = default;
  static constexpr std::uint32_t kInfinite = 0xFFFFFFFF;
  // Starts a thread through the C runtime (_beginthreadex): default stack size,
  // running at once; 0 when it cannot start.
  virtual ThreadToken StartThread(std::shared_ptr<ThreadBody> body) = 0;
  // WaitForSingleObject: true when the thread ended within `milliseconds`.
  virtual bool WaitThread(ThreadToken thread, std::uint32_t milliseconds) = 0;
  virtual void CloseThread(ThreadToken thread) = 0;  // CloseHandle
};

// ---------------------------------------------------------------------------------
// HTTP(S) through WinINet (wininet.dll, from System32 only).
class Network {
 public:
  virtual ~Network() = default;
  // InternetOpenW(agent, accessType, no proxy, no bypass list, no flags).
  virtual InternetToken OpenSession(const std::wstring& agent, std::uint32_t accessType) = 0;
  // InternetOpenUrlW(session, url, no headers, flags, context 0).
  virtual InternetToken OpenUrl(InternetToken session, const std::wstring& url,
                                std::uint32_t flags) = 0;
  // HttpQueryInfoW(request, infoLevel, 520 bytes, index 0): the header's text, as many
  // characters as the call reports. Not ok (status 0) when the call fails, as it does
  // for a header of 260 characters or more.
  virtual Read<std::wstring> QueryHeader(InternetToken request, std::uint32_t infoLevel) = 0;
  // InternetReadFile: up to `size` bytes; *read is the count.
  virtual bool ReadData(InternetToken request, void* buffer, std::uint32_t size,
                        std::uint32_t* read) = 0;
  virtual void CloseInternetHandle(InternetToken handle) = 0;  // InternetCloseHandle
};

// ---------------------------------------------------------------------------------
// Authenticode (wintrust.dll and crypt32.dll, from System32 only).
struct TrustVerdict {
  std::int32_t result = 0;  // WinVerifyTrust's
  std::wstring signer;      // the signer certificate's simple display name; empty when none was read
};

class Trust {
 public:
  virtual ~Trust() = default;
  // WinVerifyTrust(no window, WINTRUST_ACTION_GENERIC_VERIFY_V2) on the file `path`:
  // WINTRUST_FILE_INFO {16, path, no handle, no subject}; WINTRUST_DATA {48, no
  // policy or SIP data, WTD_UI_NONE, WTD_REVOKE_NONE, WTD_CHOICE_FILE,
  // WTD_STATEACTION_VERIFY, no URL reference, no provider flags, UI context 0}.
  // From the state it keeps: WTHelperProvDataFromStateData, WTHelperGetProvSignerFromChain
  // (signer 0, not a counter-signer) and CertGetNameStringW(CERT_NAME_SIMPLE_DISPLAY_TYPE)
  // of the first certificate of its chain. Then WinVerifyTrust once more on the same
  // data with WTD_STATEACTION_CLOSE to release the state. The first call's result.
  virtual TrustVerdict VerifyFile(const std::wstring& path) = 0;
};

// ---------------------------------------------------------------------------------
// Libraries that the program loads by a name it was given.
class Libraries {
 public:
  virtual ~Libraries() = default;
  virtual LibraryToken LoadLibrary(const std::wstring& name) = 0;  // LoadLibraryW
  // GetProcAddress(library, name) and, when found, a call of it with no arguments:
  // its 32-bit result. nullopt when there is no such export.
  virtual std::optional<std::int32_t> CallExport(LibraryToken library, const char* name) = 0;
  virtual void FreeLibrary(LibraryToken library) = 0;
};

// ---------------------------------------------------------------------------------
// The bootstrapper's own log, in UTF-8. Writing never fails a step and never changes
// what a run does. Lines written before the file is created are kept and go into it
// first, so a log in a folder the command line names holds the run from its first line.
class Log {
 public:
  virtual ~Log() = default;
  // One finished line, its CR LF included; from any thread.
  virtual void Write(const std::wstring& line) = 0;
  // CreateFileW(path, write, read sharing, CREATE_NEW, not through a reparse point),
  // then the lines kept so far: 0, or the create's error (ERROR_FILE_EXISTS when the
  // name is taken: nothing is ever added to a file that was there before).
  virtual Status Create(const std::wstring& path) = 0;
  // No file will come: the lines kept are dropped, and later ones are not kept.
  virtual void Abandon() = 0;
};

// ---------------------------------------------------------------------------------
// Clock and standard output.
struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Now() = 0;         // time + localtime, to the second
  virtual LocalTime PreciseNow() = 0;  // GetLocalTime, to the millisecond
};

class StandardOutput {
 public:
  virtual ~StandardOutput() = default;
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
  Environment& environment;
  Registry& registry;
  WindowsInstaller& msi;
  Processes& processes;
  PowerControl& power;
  Clock& clock;
  StandardOutput& output;
  Services& services;
  Threads& threads;
  Network& network;
  Trust& trust;
  Libraries& libraries;
  Log& log;
};

// Owns one token that a service hands out (a registry key, a package handle, a
// thread) and gives it back through `Close` exactly once, on every way out; a token
// of none is not given back. Movable, never copied: the token has one owner.
template <class Service, class Token, void (Service::*CloseToken)(Token)>
class ScopedToken {
 public:
  explicit ScopedToken(Service& service, Token token = Token{}) : service_(&service), token_(token) {}
  ScopedToken(const ScopedToken&) = delete;
  ScopedToken& operator=(const ScopedToken&) = delete;
  ScopedToken(ScopedToken&& other) noexcept : service_(other.service_), token_(other.Release()) {}
  ScopedToken& operator=(ScopedToken&& other) noexcept {
    if (this != &other) {
      Close();
      service_ = other.service_;
      token_ = other.Release();
    }
    return *this;
  }
  ~ScopedToken() { Close(); }

  // The slot for a call that hands out a token; whatever was held before is given
  // back first, so a reused owner never loses a handle.
  Token* Receive() {
    Close();
    return &token_;
  }
  // Gives the token back now rather than at the end of the scope.
  void Close() {
    if (IsOpen(token_)) (service_->*CloseToken)(token_);
    token_ = Token{};
  }
  // Hands the token over without giving it back.
  Token Release() {
    const Token token = token_;
    token_ = Token{};
    return token;
  }
  Token get() const { return token_; }
  explicit operator bool() const { return IsOpen(token_); }

 private:
  Service* service_;
  Token token_;
};

// Open handles of each kind, closed on every way out.
using RegistryKey = ScopedToken<Registry, KeyToken, &Registry::CloseKey>;
using ServiceHandle = ScopedToken<Services, ServiceToken, &Services::CloseService>;
using InternetHandle = ScopedToken<Network, InternetToken, &Network::CloseInternetHandle>;
using FileHandle = ScopedToken<FileSystem, FileToken, &FileSystem::CloseFile>;
using ThreadHandle = ScopedToken<Threads, ThreadToken, &Threads::CloseThread>;

}  // namespace korvana
