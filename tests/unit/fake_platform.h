// A scripted stand-in for the machine: answers from a scenario that each test sets
// up, and records every call so that tests can check texts, styles, owners, command
// lines, registry and file operations, and that every handle is closed once.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/message_texts.h"
#include "platform/platform.h"

namespace korvana::testing {

// Thrown by ExitProcess so a test can see the code the process would end with.
struct ProcessExited {
  std::uint32_t code;
};

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
  int featureState = 3;  // INSTALLSTATE_LOCAL; 2 = absent
};

class FakePlatform : public UserInterface,
                     public SystemProbes,
                     public CommandLine,
                     public FileSystem,
                     public Registry,
                     public WindowsInstaller,
                     public Processes,
                     public PowerControl,
                     public Clock {
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

  bool admin = true;
  // The simulated Windows version for VerifyVersionInfoW and RtlGetNtVersionNumbers.
  std::uint32_t osMajor = 10, osMinor = 0;
  std::uint16_t osServicePack = 0;
  std::vector<VersionQuery> versionQueries;
  bool verifyVersionFails = false;  // as if the call itself failed

  // kernel32 exports: absent names are NoExport; kernel32Loaded false gives NoModule.
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
  std::vector<std::wstring> searches;  // every pattern given to FindFirstMatch/ListEntries
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
    DeleteKeyRoute route;
  };
  std::vector<RegistryCall> registryCalls;
  int openKeys = 0;  // currently open (must be 0 after every step)

  // Windows Installer.
  std::map<std::wstring, FakePackage> packages;  // by full path
  std::vector<FakeProduct> products;             // in enumeration order
  int openMsiHandles = 0;
  int closedMsiHandles = 0;
  std::vector<MsiHandle> closedHandles;
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

  // ---- UserInterface -------------------------------------------------------------
  void CreateOwnerWindow() override;
  int ShowMessageBox(Owner owner, const std::wstring& text, const std::wstring& caption,
                     std::uint32_t style) override;
  // ---- SystemProbes --------------------------------------------------------------
  bool IsUserAnAdmin() override;
  bool VerifyVersion(const VersionQuery& query) override;
  NtVersion GetNtVersion() override;
  ProcLookup FindKernel32Export(const char* name) override;
  std::optional<bool> CallIsWow64Process(std::uintptr_t entry) override;
  std::optional<std::uint16_t> CallIsWow64Process2(std::uintptr_t entry) override;
  std::uint16_t GetUserDefaultUILanguage() override;
  bool IsModuleLoaded(const std::wstring& name) override;
  // ---- CommandLine ---------------------------------------------------------------
  std::wstring GetProcessCommandLine() override;
  std::optional<std::vector<std::wstring>> Split(const std::wstring& commandLine) override;
  // ---- FileSystem ----------------------------------------------------------------
  std::wstring ModulePath() override;
  std::optional<std::wstring> FindFirstMatch(const std::wstring& pattern) override;
  std::vector<FolderEntry> ListEntries(const std::wstring& pattern) override;
  bool Exists(const std::wstring& path) override;
  bool DeleteFile(const std::wstring& path) override;
  std::optional<std::wstring> GetWindowsDirectory() override;
  TextRead GetSystemDirectory() override;
  TextRead GetEnvironmentVariable(const std::wstring& name) override;
  // ---- Registry ------------------------------------------------------------------
  Status OpenKey(RegistryRoot root, const std::wstring& subKey, std::uint32_t access,
                 KeyToken* key) override;
  Status CreateKey(RegistryRoot root, const std::wstring& subKey, std::uint32_t access,
                   KeyToken* key) override;
  void CloseKey(KeyToken key) override;
  Status DeleteSubKey(KeyToken parent, const std::wstring& name, DeleteKeyRoute route) override;
  // ---- WindowsInstaller ----------------------------------------------------------
  void SetInternalUI(std::uint32_t level) override;
  Status OpenPackageEx(const std::wstring& path, std::uint32_t options, MsiHandle* handle) override;
  Status GetProperty(MsiHandle handle, const std::wstring& name, wchar_t* buffer,
                     std::uint32_t* size) override;
  void CloseHandle(MsiHandle handle) override;
  Status EnumRelatedProducts(const std::wstring& upgradeCode, std::uint32_t index,
                             wchar_t* buffer) override;
  Status GetProductInfo(const std::wstring& product, const std::wstring& property,
                        wchar_t* buffer, std::uint32_t* size) override;
  int QueryProductState(const std::wstring& product) override;
  int QueryFeatureState(const std::wstring& product, const std::wstring& feature) override;
  Status SourceListClearAll(const std::wstring& product) override;
  Status SourceListSetInfo(const std::wstring& product, std::uint32_t context,
                           std::uint32_t options, const std::wstring& property,
                           const std::wstring& value) override;
  // ---- Processes -----------------------------------------------------------------
  Status RunAndWait(const std::wstring& commandLine) override;
  [[noreturn]] void ExitProcess(std::uint32_t code) override;
  // ---- PowerControl --------------------------------------------------------------
  std::optional<Status> EnableShutdownPrivilege() override;
  bool ExitWindows(std::uint32_t flags, std::uint32_t reason) override;
  // ---- Clock ---------------------------------------------------------------------
  LocalTime Now() override;
  void WriteLine(const std::wstring& text) override;

  // Wildcard match as the directory search does it: case-insensitive, '*' and '?'.
  static bool Matches(const std::wstring& pattern, const std::wstring& name);

 private:
  std::wstring KeyName(RegistryRoot root, const std::wstring& subKey) const;
  std::map<KeyToken, std::wstring> openKeyNames_;
  KeyToken nextKey_ = 0x100;
  std::map<MsiHandle, std::wstring> openPackages_;
  MsiHandle nextHandle_ = 0x2000;
  CompiledCatalog catalog_;
  Platform platform_;
};

}  // namespace korvana::testing
