// A scripted stand-in for the machine: answers from a scenario that each test sets
// up, and records every call so that tests can check texts, styles, owners, command
// lines, registry and file operations, and that every handle is closed once.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "resources/compiled_catalog.h"
#include "platform/platform.h"

namespace korvana::testing {

// Thrown, once, by a call past FakePlatform::callLimit: the run is going round in circles.
struct CallLimitExceeded {};

// The TLS patch's key (named as the fake names keys) and a library it may name.
inline constexpr wchar_t kPatchKey[] =
    L"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\KorvPatches";
inline constexpr wchar_t kPatchLibrary[] = L"C:\\patch\\korvpatch.dll";
// The browser download's folder, as made from the fake's random bytes (0x00..0x0F).
inline constexpr wchar_t kDownloadFolder[] =
    L"C:\\windows\\Temp\\korvana-000102030405060708090a0b0c0d0e0f";

struct RecordedBox {
  Owner owner;
  std::wstring text;
  std::wstring caption;
  std::uint32_t style;
};

struct FakePackage {
  std::map<std::wstring, std::wstring> properties;  // ProductCode, UpgradeCode, ...
  Status openStatus = 0;                            // non-zero: MsiOpenPackageExW fails
};

struct FakeProduct {
  std::wstring productCode;
  std::wstring upgradeCode;
  std::wstring versionString;
  int state = 5;         // INSTALLSTATE_DEFAULT
  std::wstring name = L"Korvana plug-in";  // InstalledProductName
  int featureState = 3;  // INSTALLSTATE_LOCAL; 2 = absent
};

// The controls of a dialog the fake shows: texts, check and enabled states, and how
// it ended. Tests drive the dialog's logic through it.
class FakeDialog : public DialogControls {
 public:
  explicit FakeDialog(DialogLogic& logic) : logic_(logic) {}
  static constexpr WindowToken kWindow{0x40110};

  std::map<int, std::wstring> texts;
  std::set<int> checked;
  std::set<int> disabled;
  std::optional<std::intptr_t> endedWith;
  std::set<int> hidden;
  std::vector<std::uint16_t> icons;
  // Icons of the dialog's own: loaded (0 when iconLoads is false), set, destroyed.
  bool iconLoads = true;
  int iconSize = 0;  // the size the last icon was loaded at
  std::vector<IconToken> iconsSet;
  std::vector<IconToken> iconsDestroyed;
  int broughtToFront = 0;

  bool Init() { return logic_.OnInitDialog(*this); }
  bool Send(std::uint32_t message, std::uintptr_t wParam = 0) {
    return logic_.OnMessage(*this, message, wParam, 0);
  }
  bool Press(int id) { return Send(0x0111, static_cast<std::uintptr_t>(id)); }  // WM_COMMAND
  bool IsVisible(int id) const { return hidden.count(id) == 0; }

  WindowToken Window() override { return kWindow; }
  void SetText(int id, const std::wstring& text) override { texts[id] = text; }
  void Check(int id, bool on) override { on ? (void)checked.insert(id) : (void)checked.erase(id); }
  bool IsChecked(int id) override { return checked.count(id) != 0; }
  bool IsEnabled(int id) override { return disabled.count(id) == 0; }
  void Enable(int id, bool on) override { on ? (void)disabled.erase(id) : (void)disabled.insert(id); }
  void End(std::intptr_t result) override { endedWith = result; }
  void SetIcon(std::uint16_t id) override { icons.push_back(id); }
  void Show(int id, bool visible) override {
    visible ? (void)hidden.erase(id) : (void)hidden.insert(id);
  }
  std::wstring GetText(int id, int maxCharacters) override {
    return texts[id].substr(0, static_cast<std::size_t>(maxCharacters));
  }
  IconToken LoadOwnIcon(std::uint16_t id, int size) override {
    icons.push_back(id);
    iconSize = size;
    return iconLoads ? IconToken{0x1C0} : IconToken{};
  }
  void SetIcons(IconToken icon) override { iconsSet.push_back(icon); }
  void DestroyIcon(IconToken icon) override { iconsDestroyed.push_back(icon); }
  void BringToFront() override { ++broughtToFront; }

 private:
  DialogLogic& logic_;
};

struct PostedMessage {
  WindowToken window;
  std::uint32_t message;
  std::uintptr_t wParam;
  std::intptr_t lParam;
};

class FakePlatform : public UserInterface,
                     public SystemProbes,
                     public CommandLine,
                     public FileSystem,
                     public Environment,
                     public Registry,
                     public WindowsInstaller,
                     public Processes,
                     public PowerControl,
                     public Clock,
                     public StandardOutput,
                     public Services,
                     public Threads,
                     public Network,
                     public Trust,
                     public Libraries,
                     public Log {
 public:
  FakePlatform();
  Platform& platform() { return platform_; }

  // ---- scenario -----------------------------------------------------------------
  // Every call in order, by name ("MessageBox", "RunAndWait", "MsiSetInternalUI", ...).
  std::vector<std::string> calls;
  // Answers given to boxes, in order; when empty, boxes answer IDOK (or IDYES for a
  // MB_YESNO box).
  std::deque<int> boxAnswers;
  std::vector<RecordedBox> boxes;
  bool ownerWindowCreated = false;
  Status commonControlsResult = 0;  // what InitCommonControlsEx comes to
  // The window station's WSF_VISIBLE; nullopt: its flags cannot be read.
  std::optional<bool> windowStationVisible = true;

  bool admin = true;
  // The simulated Windows version for VerifyVersionInfoW and RtlGetNtVersionNumbers.
  std::uint32_t osMajor = 10, osMinor = 0;
  std::uint16_t osServicePack = 0;
  struct VersionQuery {
    std::uint32_t major, minor;
    std::uint16_t servicePack;
  };
  std::vector<VersionQuery> versionQueries;
  bool verifyVersionFails = false;  // as if the call itself failed

  // kernel32 and its exports, looked up as the Win32 side does: IsWow64Process once,
  // at the first call that finds kernel32 (a failed lookup counts as kernel32 not
  // found), IsWow64Process2 at every call.
  bool kernel32Loaded = true;
  bool hasIsWow64Process = true;
  bool hasIsWow64Process2 = false;
  std::optional<bool> isWow64 = true;            // nullopt: the call fails
  std::optional<std::uint16_t> nativeMachine = 0x8664;
  int kernel32Lookups = 0;
  std::uint16_t uiLanguage = 0x0419;
  std::set<std::wstring> loadedModules;  // for IsModuleLoaded (exact names)

  std::wstring processCommandLine = L"\"C:\\setup\\korvana-setup.exe\"";
  // Arguments CommandLineToArgvW would give; nullopt: the split fails. When unset,
  // the fake splits processCommandLine on blanks, honouring double quotes.
  std::optional<std::optional<std::vector<std::wstring>>> argv;

  // A tiny file system: full paths, in the order the "file system" returns them.
  std::wstring modulePath = L"C:\\setup\\korvana-setup.exe";
  std::vector<FolderEntry> entries;  // name = full path
  void AddFile(const std::wstring& path) { entries.push_back({path, false}); }
  void AddFolder(const std::wstring& path) { entries.push_back({path, true}); }
  std::vector<std::wstring> deletedFiles;
  std::vector<std::wstring> searches;  // every pattern given to ListEntries
  std::optional<std::wstring> windowsDirectory = std::wstring(L"C:\\windows");
  std::optional<std::wstring> systemDirectory = std::wstring(L"C:\\windows\\system32");
  Status systemDirectoryError = 0;
  std::map<std::wstring, std::wstring> environment{{L"TMP", L"C:\\temp"}};
  std::vector<std::wstring> environmentReads;

  // Registry: existing keys as "HKCU\Software\NeedBstrReboot".
  std::set<std::wstring> keys{L"HKCU\\Software"};
  std::set<std::wstring> failingOpens;  // keys whose open fails with 5
  struct RegistryCall {
    std::string what;  // "open", "create", "delete"
    std::wstring key;
    std::uint32_t access;
    std::string route;  // the deleting export, RegDeleteKeyExW or RegDeleteKeyW
  };
  std::vector<RegistryCall> registryCalls;
  int openKeys = 0;  // currently open (must be 0 after every step)

  // Windows Installer.
  std::map<std::wstring, FakePackage> packages;  // by full path
  std::vector<FakeProduct> products;             // in enumeration order
  int openMsiHandles = 0;
  int closedMsiHandles = 0;
  std::vector<MsiToken> closedHandles;
  Status productInfoLengthStatus = 0;  // non-zero: the length query fails
  Status productInfoValueStatus = 0;   // non-zero: the value query fails
  struct SourceListCall {
    std::string what;
    std::wstring product;
    std::uint32_t context;
    std::uint32_t options;
    std::wstring property;
    std::wstring value;
  };
  std::vector<SourceListCall> sourceListCalls;
  std::vector<std::uint32_t> internalUiLevels;

  // Processes: each command line run, and what it returns.
  std::vector<std::wstring> commandLines;
  std::vector<std::wstring> applications;  // the application name of each, empty: none
  std::function<Status(const std::wstring&)> onRun;  // default: 0

  // Restart.
  std::optional<Status> privilegeResult = Status{0};  // nullopt: no token
  bool exitWindowsAccepts = true;
  struct ExitWindowsCall {
    std::uint32_t flags;
    std::uint32_t reason;
  };
  std::vector<ExitWindowsCall> exitWindowsCalls;

  LocalTime now{2026, 12, 7, 4, 36, 54};
  std::vector<std::wstring> stdoutLines;

  // Dialogs: each template shown, and what the "user" does in it. Without a script
  // the dialog is initialised, the browser box unchecked and OK pressed.
  std::vector<std::uint16_t> dialogsShown;
  std::vector<Owner> dialogOwners;
  std::function<void(FakeDialog&)> onDialog;
  bool dialogFails = false;  // DialogBoxParamW returns -1
  std::vector<PostedMessage> posted;

  // Handles of every kind that a step opens (files, services, WinINet, threads,
  // libraries): each token is open until closed once. Closing what is not open is
  // recorded as a fault.
  std::map<std::uintptr_t, std::string> openHandles;
  std::vector<std::string> handleFaults;
  int OpenCount(const std::string& kind) const;
  int Count(const std::string& call) const;  // how often `call` is in `calls`

  // Files the program creates and writes: full contents by path as given.
  std::optional<std::wstring> currentDirectory = std::wstring(L"C:\\setup");
  std::set<std::wstring> failingCreates;  // files and folders whose create fails with 5
  // Opening these as they are (OPEN_EXISTING) fails with ERROR_SHARING_VIOLATION; opening
  // a file that is neither listed nor written, with ERROR_FILE_NOT_FOUND.
  std::set<std::wstring> lockedFiles;
  int writesBeforeFailure = -1;  // -1: writes never fail
  struct CreatedFile {
    std::wstring path;
    std::uint32_t access, share, disposition, attributes;
  };
  std::vector<CreatedFile> createdFiles;
  std::map<std::wstring, std::string> fileContents;
  // Folders made with a security descriptor (each then an entry until removed), and
  // removed. A folder that is an entry already gives ERROR_ALREADY_EXISTS; one that
  // still holds an entry or a written file, ERROR_DIR_NOT_EMPTY.
  struct CreatedFolder {
    std::wstring path;
    std::wstring sddl;
  };
  std::vector<CreatedFolder> createdFolders;
  Status createFolderStatus = 0;  // non-zero: every CreateSecuredFolder fails with it
  std::vector<std::wstring> removedFolders;
  // RtlGenRandom hands these out, over and over; randomFails: it fails.
  std::vector<std::uint8_t> randomBytes{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  bool randomFails = false;

  // Registry values, by "HKLM\Key\Sub" + "|" + value name, and their types where
  // not REG_SZ (1).
  std::map<std::wstring, std::wstring> registryValues;
  std::map<std::wstring, std::uint32_t> registryValueTypes;

  // Services that exist; the manager itself can be made to fail.
  std::set<std::wstring> services;
  bool serviceManagerFails = false;
  std::vector<std::uint32_t> serviceAccesses;  // manager's, then each service's

  // Threads: bodies started (run them by hand); whether a wait sees the thread end.
  std::vector<std::shared_ptr<ThreadBody>> startedThreads;
  bool threadStartFails = false;
  bool threadEndsInTime = true;
  std::vector<std::uint32_t> threadWaits;  // the time limits asked for
  // Runs the last thread started to its end, here, and hands `dialog` the messages it
  // posted; the thread's exit code.
  std::uint32_t RunLastThread(FakeDialog& dialog);

  // Network: one response for every URL opened.
  bool sessionFails = false;
  bool urlFails = false;
  std::optional<std::wstring> contentDisposition = std::wstring(L"attachment; filename=\"Yandex.exe\"");
  std::vector<std::string> bodyChunks{"MZ body"};
  int readsBeforeFailure = -1;  // -1: reads never fail
  std::function<void()> onRead;  // runs before each read (e.g. a cancel arriving)
  struct SessionOpened {
    std::wstring agent;
    std::uint32_t accessType;
  };
  std::vector<SessionOpened> sessions;
  struct UrlOpened {
    std::wstring url;
    std::uint32_t flags;
  };
  std::vector<UrlOpened> urlsOpened;
  std::vector<std::uint32_t> headerQueries;  // info levels asked for
  std::vector<std::uint32_t> readSizes;

  // Signature checks: the result by path (default 0, trusted), each path checked.
  // The run lock: how claiming it goes, the owner of one that existed, and every
  // name claimed with the security asked for ("<name> <SDDL>").
  MutexClaim mutexClaim = MutexClaim::Created;
  std::wstring mutexOwner = L"S-1-5-32-544";
  std::vector<std::wstring> claimedMutexes;
  std::map<std::wstring, std::int32_t> trustResults;
  std::wstring signer = L"Korvana Test Publisher";  // of every file checked
  std::vector<std::wstring> verifiedPaths;

  // Libraries: those that load, their "KorvDllPatch" result (nullopt: no export).
  std::map<std::wstring, std::optional<std::int32_t>> libraries;
  std::vector<std::wstring> loadedLibraries;
  std::vector<std::wstring> freedLibraries;
  int exportCalls = 0;

  // Fault injection: the call at index `failAt` of `calls` fails as Windows fails it
  // (a null handle, FALSE, an empty answer, an error) instead of doing its work, with
  // the number `failure` gives for its name where one is needed. Closing a handle, the
  // clock, the version numbers and ending the process never fail.
  std::optional<std::size_t> failAt;
  std::function<std::int64_t(const std::string&)> failure;
  std::size_t callLimit = 0;  // 0: none; past it a call throws CallLimitExceeded

  // The bootstrapper's own log, line by line (not a call: it fails nothing), and its
  // file: every name tried, the one created, and whether the run gave up on a file.
  std::vector<std::wstring> logLines;
  std::wstring logWritten;  // every line as written, its time and CR LF included
  std::vector<std::wstring> logCreates;
  std::optional<std::wstring> logFile;
  std::size_t linesBeforeLogFile = 0;  // lines written before the file was created
  std::map<std::wstring, Status> logCreateErrors;  // by path; ERROR_FILE_EXISTS: taken
  bool logAbandoned = false;
  std::vector<std::wstring> foldersCreated;  // CreateDirectory, each part asked for

  // ---- UserInterface -------------------------------------------------------------
  Status InitCommonControls() override;
  std::optional<bool> IsWindowStationVisible() override;
  void CreateOwnerWindow() override;
  int ShowMessageBox(Owner owner, const std::wstring& text, const std::wstring& caption,
                     std::uint32_t style) override;
  // ---- SystemProbes --------------------------------------------------------------
  bool IsUserAnAdmin() override;
  bool IsBelowServicePack(std::uint32_t major, std::uint32_t minor,
                          std::uint16_t servicePack) override;
  NtVersion GetNtVersion() override;
  std::optional<bool> IsWow64() override;
  std::optional<std::uint16_t> NativeMachine() override;
  std::uint16_t GetUserDefaultUILanguage() override;
  bool IsModuleLoaded(const std::wstring& name) override;
  // ---- CommandLine ---------------------------------------------------------------
  std::wstring GetProcessCommandLine() override;
  std::optional<std::vector<std::wstring>> Split(const std::wstring& commandLine) override;
  // ---- FileSystem ----------------------------------------------------------------
  std::wstring ModulePath() override;
  std::vector<FolderEntry> ListEntries(const std::wstring& pattern) override;
  bool Exists(const std::wstring& path) override;
  bool DeleteFile(const std::wstring& path) override;
  Status CreateFolder(const std::wstring& path) override;
  Read<std::wstring> GetWindowsDirectory() override;
  Read<std::wstring> GetSystemDirectory() override;
  Read<std::wstring> GetCurrentDirectory() override;
  // ---- Environment ---------------------------------------------------------------
  Read<std::wstring> GetVariable(const std::wstring& name) override;
  Read<std::wstring> Expand(const std::wstring& text) override;
  // ---- Registry ------------------------------------------------------------------
  Status OpenKey(RegistryRoot root, const std::wstring& subKey, std::uint32_t access,
                 KeyToken* key) override;
  Status CreateKey(RegistryRoot root, const std::wstring& subKey, std::uint32_t access,
                   KeyToken* key) override;
  void CloseKey(KeyToken key) override;
  Status DeleteSubKey(KeyToken parent, const std::wstring& name) override;
  // ---- WindowsInstaller ----------------------------------------------------------
  void SetInternalUI(std::uint32_t level) override;
  Status OpenPackageEx(const std::wstring& path, std::uint32_t options, MsiToken* handle) override;
  Read<std::wstring> GetProperty(MsiToken handle, const std::wstring& name) override;
  void CloseHandle(MsiToken handle) override;
  Read<std::wstring> EnumRelatedProducts(const std::wstring& upgradeCode,
                                         std::uint32_t index) override;
  SizedRead GetProductInfo(const std::wstring& product, const std::wstring& property) override;
  Read<std::wstring> GetProductInfoUpTo(const std::wstring& product, const std::wstring& property,
                                        std::uint32_t maxCharacters) override;
  int QueryProductState(const std::wstring& product) override;
  int QueryFeatureState(const std::wstring& product, const std::wstring& feature) override;
  Status SourceListClearAll(const std::wstring& product) override;
  Status SourceListSetInfo(const std::wstring& product, std::uint32_t context,
                           std::uint32_t options, const std::wstring& property,
                           const std::wstring& value) override;
  // ---- Processes -----------------------------------------------------------------
  Status RunAndWait(const std::wstring& commandLine, const std::wstring& application) override;
  MutexClaim ClaimMutex(const std::wstring& name, const std::wstring& sddl, std::wstring* owner,
                        Status* error) override;
  // ---- PowerControl --------------------------------------------------------------
  std::optional<Status> EnableShutdownPrivilege() override;
  bool ExitWindows(std::uint32_t flags, std::uint32_t reason) override;
  // ---- Clock and standard output -------------------------------------------------
  LocalTime Now() override;
  LocalTime PreciseNow() override { return now; }  // the log's: not a call
  void WriteLine(const std::wstring& text) override;
  // ---- UserInterface: dialogs ----------------------------------------------------
  std::intptr_t ShowDialog(std::uint16_t templateId, Owner owner, DialogLogic& logic) override;
  bool PostMessage(WindowToken window, std::uint32_t message, std::uintptr_t wParam,
                   std::intptr_t lParam) override;
  // ---- FileSystem: written files -------------------------------------------------
  FileToken CreateFile(const std::wstring& path, std::uint32_t access, std::uint32_t share,
                       std::uint32_t disposition, std::uint32_t attributes,
                       Status* error = nullptr) override;
  bool WriteFile(FileToken file, const void* data, std::uint32_t size) override;
  void CloseFile(FileToken file) override;
  Status CreateSecuredFolder(const std::wstring& path, const std::wstring& sddl) override;
  Status RemoveFolder(const std::wstring& path) override;
  bool FillRandom(void* buffer, std::uint32_t size) override;
  // ---- Registry: values ----------------------------------------------------------
  Status OpenSubKey(KeyToken parent, const std::wstring& subKey, std::uint32_t access,
                    KeyToken* key) override;
  Read<RegistryText> QueryText(KeyToken key, const std::wstring& name) override;
  // ---- Services ------------------------------------------------------------------
  ServiceToken OpenManager(std::uint32_t access) override;
  ServiceToken OpenService(ServiceToken manager, const std::wstring& name,
                           std::uint32_t access) override;
  void CloseService(ServiceToken handle) override;
  // ---- Threads -------------------------------------------------------------------
  ThreadToken StartThread(std::shared_ptr<ThreadBody> body) override;
  bool WaitThread(ThreadToken thread, std::uint32_t milliseconds) override;
  void CloseThread(ThreadToken thread) override;
  // ---- Network -------------------------------------------------------------------
  InternetToken OpenSession(const std::wstring& agent, std::uint32_t accessType) override;
  InternetToken OpenUrl(InternetToken session, const std::wstring& url, std::uint32_t flags) override;
  Read<std::wstring> QueryHeader(InternetToken request, std::uint32_t infoLevel) override;
  bool ReadData(InternetToken request, void* buffer, std::uint32_t size, std::uint32_t* read) override;
  void CloseInternetHandle(InternetToken handle) override;
  // ---- Trust ---------------------------------------------------------------------
  TrustVerdict VerifyFile(const std::wstring& path) override;
  // ---- Log -----------------------------------------------------------------------
  void Write(const std::wstring& line) override;
  Status Create(const std::wstring& path) override;
  void Abandon() override { logAbandoned = true; }
  // ---- Libraries -----------------------------------------------------------------
  LibraryToken LoadLibrary(const std::wstring& name) override;
  std::optional<std::int32_t> CallExport(LibraryToken library, const char* name) override;
  void FreeLibrary(LibraryToken library) override;

  // Wildcard match as the directory search does it: case-insensitive, '*' and '?'.
  static bool Matches(const std::wstring& pattern, const std::wstring& name);

 private:
  bool Fails();  // the call just recorded is to fail (with fault_)
  bool ProductInstalled() const;
  Read<std::wstring> ProductProperty(const std::wstring& product, const std::wstring& property,
                                     Status injected) const;
  std::int64_t fault_ = 0;
  bool limitHit_ = false;
  std::optional<bool> isWow64Export_;  // whether IsWow64Process was found, once looked up
  std::wstring KeyName(RegistryRoot root, const std::wstring& subKey) const;
  Status OpenNamedKey(const std::wstring& name, std::uint32_t access, KeyToken* key);
  std::uintptr_t OpenHandleValue(const std::string& kind);
  bool CloseHandleValue(std::uintptr_t token, const std::string& kind);
  template <class Token>
  Token OpenHandle(const std::string& kind) {
    return static_cast<Token>(OpenHandleValue(kind));
  }
  template <class Token>
  bool CloseHandleOf(Token token, const std::string& kind) {
    return CloseHandleValue(static_cast<std::uintptr_t>(token), kind);
  }
  std::uintptr_t nextToken_ = 0x10000;
  std::map<FileToken, std::wstring> openFilePaths_;
  std::map<LibraryToken, std::wstring> openLibraryNames_;
  std::size_t nextChunk_ = 0;
  int writes_ = 0;
  int reads_ = 0;
  std::map<KeyToken, std::wstring> openKeyNames_;
  std::uintptr_t nextKey_ = 0x100;
  std::map<MsiToken, std::wstring> openPackages_;
  std::uint32_t nextHandle_ = 0x2000;
  CompiledCatalog catalog_;
  Platform platform_;
};

}  // namespace korvana::testing
