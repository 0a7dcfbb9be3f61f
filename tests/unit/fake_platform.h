// A scripted stand-in for the machine, one fake for each part of it: each answers from
// what a test gives it and records what the program did to it, so that tests can check
// texts, styles, owners, command lines, registry and file operations, and that every
// handle is closed once. All of them write into one call log and share one fault
// injector and one table of open handles (Seam).
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

// Thrown, once, by a call past Seam::callLimit: the run is going round in circles.
struct CallLimitExceeded {};

// The TLS patch's key (named as the fake names keys) and a library it may name.
inline constexpr wchar_t kPatchKey[] =
    L"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\KorvPatches";
inline constexpr wchar_t kPatchLibrary[] = L"C:\\patch\\korvpatch.dll";
// The browser download's folder, as made from the fake's random bytes (0x00..0x0F).
inline constexpr wchar_t kDownloadFolder[] =
    L"C:\\windows\\Temp\\korvana-000102030405060708090a0b0c0d0e0f";

// The buttons a box answers with, and the styles of the program's boxes; a test in
// another namespace takes them all with `using namespace testing::box;`.
inline namespace box {
inline constexpr int kBoxFailed = 0;  // MessageBoxW failed
inline constexpr int kOk = 1;         // IDOK
inline constexpr int kCancel = 2;     // IDCANCEL
inline constexpr int kYes = 6;        // IDYES
inline constexpr int kNo = 7;         // IDNO
// MB_TOPMOST | MB_SETFOREGROUND with MB_ICONERROR, MB_YESNO, MB_ICONINFORMATION.
inline constexpr std::uint32_t kErrorBoxStyle = 0x00050010;
inline constexpr std::uint32_t kQuestionBoxStyle = 0x00050004;
inline constexpr std::uint32_t kInformationBoxStyle = 0x00050040;
}  // namespace box

// What every fake shares: the one log of calls into the machine, in order, by name
// ("MessageBox", "RunAndWait", "MsiSetInternalUI", ...); the fault injector that makes
// one of them fail; and the handles of every kind a step opens (files, services,
// WinINet, threads, libraries), each open until closed once.
class Seam {
 public:
  std::vector<std::string> calls;
  int Count(const std::string& call) const;  // how often `call` is in `calls`

  // Fault injection: the call at index `failAt` of `calls` fails as Windows fails it
  // (a null handle, FALSE, an empty answer, an error) instead of doing its work, with
  // the number `failure` gives for its name where one is needed. Closing a handle, the
  // clock, the version numbers and ending the process never fail.
  std::optional<std::size_t> failAt;
  std::function<std::int64_t(const std::string&)> failure;
  std::size_t callLimit = 0;  // 0: none; past it a call throws CallLimitExceeded

  // Closing what is not open is recorded as a fault.
  std::map<std::uintptr_t, std::string> openHandles;
  std::vector<std::string> handleFaults;
  int OpenCount(const std::string& kind) const;

  // For the fakes: a call that never fails; a call that fails when its turn has come;
  // whether the call recorded last is the one to fail; what the last failure fails with.
  void Record(const std::string& call) { calls.push_back(call); }
  bool Fails(const std::string& call) {
    Record(call);
    return LastFails();
  }
  bool LastFails();
  std::int64_t fault = 0;
  template <class Token>
  Token OpenHandle(const std::string& kind) {
    openHandles[nextToken_] = kind;
    return static_cast<Token>(nextToken_++);
  }
  template <class Token>
  bool CloseHandle(Token token, const std::string& kind) {
    return CloseHandleValue(static_cast<std::uintptr_t>(token), kind);
  }

 private:
  bool CloseHandleValue(std::uintptr_t token, const std::string& kind);
  bool limitHit_ = false;
  std::uintptr_t nextToken_ = 0x10000;
};

// The base of each fake: its way into the shared seam.
class SeamPart {
 protected:
  explicit SeamPart(Seam& seam) : seam_(seam) {}
  bool Fails(const std::string& call) { return seam_.Fails(call); }
  void Record(const std::string& call) { seam_.Record(call); }
  Status Fault() const { return static_cast<Status>(seam_.fault); }
  Read<std::wstring> Failed() const { return {false, L"", Fault()}; }  // a read the fault failed
  Seam& seam_;
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

struct RecordedBox {
  Owner owner;
  std::wstring text;
  std::wstring caption;
  std::uint32_t style;
};

struct PostedMessage {
  WindowToken window;
  std::uint32_t message;
  std::uintptr_t wParam;
  std::intptr_t lParam;
};

// The screen: boxes, dialogs and the messages posted to them.
class FakeUserInterface : public UserInterface, SeamPart {
 public:
  explicit FakeUserInterface(Seam& seam) : SeamPart(seam) {}
  // ---- given ----
  // Answers given to boxes, in order; when empty, boxes answer IDOK (or IDYES for a
  // MB_YESNO box).
  std::deque<int> boxAnswers;
  Status commonControlsResult = 0;  // what InitCommonControlsEx comes to
  // The window station's WSF_VISIBLE; nullopt: its flags cannot be read.
  std::optional<bool> windowStationVisible = true;
  // What the "user" does in each dialog. Without a script the dialog is initialised,
  // then the configuration taken as it opens, or the browser box unchecked and OK pressed.
  std::function<void(FakeDialog&)> onDialog;
  bool dialogFails = false;  // DialogBoxParamW returns -1
  // ---- recorded ----
  std::vector<RecordedBox> boxes;
  bool ownerWindowCreated = false;
  std::vector<std::uint16_t> dialogsShown;  // each template shown
  std::vector<Owner> dialogOwners;
  std::vector<PostedMessage> posted;

  Status InitCommonControls() override {
    return Fails("InitCommonControlsEx") ? Fault() : commonControlsResult;
  }
  std::optional<bool> IsWindowStationVisible() override {
    return Fails("GetUserObjectInformation") ? std::nullopt : windowStationVisible;
  }
  void CreateOwnerWindow() override {
    if (!Fails("CreateOwnerWindow")) ownerWindowCreated = true;
  }
  int ShowMessageBox(Owner owner, const std::wstring& text, const std::wstring& caption,
                     std::uint32_t style) override;
  std::intptr_t ShowDialog(std::uint16_t templateId, Owner owner, DialogLogic& logic) override;
  bool PostMessage(WindowToken window, std::uint32_t message, std::uintptr_t wParam,
                   std::intptr_t lParam) override {
    if (Fails("PostMessage")) return false;
    posted.push_back({window, message, wParam, lParam});
    return true;
  }
};

// The running system: its version, architecture, rights, language, loaded modules.
class FakeSystem : public SystemProbes, SeamPart {
 public:
  explicit FakeSystem(Seam& seam) : SeamPart(seam) {}
  // ---- given ----
  bool admin = true;
  // The Windows version for VerifyVersionInfoW and RtlGetNtVersionNumbers.
  std::uint32_t osMajor = 10, osMinor = 0;
  std::uint16_t osServicePack = 0;
  bool verifyVersionFails = false;  // as if the call itself failed
  // kernel32 and its exports, looked up as the Win32 side does: IsWow64Process once,
  // at the first call that finds kernel32 (a failed lookup counts as kernel32 not
  // found), IsWow64Process2 at every call.
  bool kernel32Loaded = true;
  bool hasIsWow64Process = true;
  bool hasIsWow64Process2 = false;
  std::optional<bool> isWow64 = true;  // nullopt: the call fails
  std::optional<std::uint16_t> nativeMachine = 0x8664;
  std::uint16_t uiLanguage = 0x0419;
  std::set<std::wstring> loadedModules;  // for IsModuleLoaded (exact names)
  // ---- recorded ----
  struct VersionQuery {
    std::uint32_t major, minor;
    std::uint16_t servicePack;
  };
  std::vector<VersionQuery> versionQueries;
  int kernel32Lookups = 0;

  bool IsUserAnAdmin() override { return !Fails("IsUserAnAdmin") && admin; }
  bool IsBelowServicePack(std::uint32_t major, std::uint32_t minor,
                          std::uint16_t servicePack) override {
    if (Fails("VerifyVersionInfo")) return false;
    versionQueries.push_back({major, minor, servicePack});
    return !verifyVersionFails && osMajor == major && osMinor == minor && osServicePack < servicePack;
  }
  NtVersion GetNtVersion() override {
    Record("RtlGetNtVersionNumbers");
    return {osMajor, osMinor};
  }
  std::optional<bool> IsWow64() override;
  std::optional<std::uint16_t> NativeMachine() override {
    if (Fails("GetProcAddress:IsWow64Process2")) return std::nullopt;
    ++kernel32Lookups;
    if (!kernel32Loaded || !hasIsWow64Process2 || Fails("IsWow64Process2")) return std::nullopt;
    return nativeMachine;
  }
  std::uint16_t GetUserDefaultUILanguage() override {
    Record("GetUserDefaultUILanguage");
    return uiLanguage;
  }
  bool IsModuleLoaded(const std::wstring& name) override {
    return !Fails("GetModuleHandle") && loadedModules.count(name) != 0;
  }

 private:
  std::optional<bool> isWow64Export_;  // whether IsWow64Process was found, once looked up
};

// The process's own command line.
class FakeCommandLine : public CommandLine, SeamPart {
 public:
  explicit FakeCommandLine(Seam& seam) : SeamPart(seam) {}
  // ---- given ----
  std::wstring text = L"\"C:\\setup\\korvana-setup.exe\"";
  // Arguments CommandLineToArgvW would give; nullopt: the split fails. When unset,
  // the fake splits the command line on blanks, honouring double quotes.
  std::optional<std::optional<std::vector<std::wstring>>> argv;

  std::wstring GetProcessCommandLine() override {
    Record("GetCommandLine");
    return text;
  }
  std::optional<std::vector<std::wstring>> Split(const std::wstring& commandLine) override;
};

// A tiny file system: full paths, in the order the "file system" returns them.
class FakeFileSystem : public FileSystem, SeamPart {
 public:
  explicit FakeFileSystem(Seam& seam) : SeamPart(seam) {}
  // ---- given ----
  std::wstring modulePath = L"C:\\setup\\korvana-setup.exe";
  std::vector<FolderEntry> entries;  // name = full path
  void AddFile(const std::wstring& path) { entries.push_back({path, false}); }
  void AddFolder(const std::wstring& path) { entries.push_back({path, true}); }
  std::optional<std::wstring> windowsDirectory = std::wstring(L"C:\\windows");
  std::optional<std::wstring> systemDirectory = std::wstring(L"C:\\windows\\system32");
  Status systemDirectoryError = 0;
  std::optional<std::wstring> currentDirectory = std::wstring(L"C:\\setup");
  std::set<std::wstring> failingCreates;  // files and folders whose create fails with 5
  // Opening these as they are (OPEN_EXISTING) fails with ERROR_SHARING_VIOLATION; opening
  // a file that is neither listed nor written, with ERROR_FILE_NOT_FOUND.
  std::set<std::wstring> lockedFiles;
  int writesBeforeFailure = -1;   // -1: writes never fail
  Status createFolderStatus = 0;  // non-zero: every CreateSecuredFolder fails with it
  // RtlGenRandom hands these out, over and over; randomFails: it fails.
  std::vector<std::uint8_t> randomBytes{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  bool randomFails = false;
  // ---- recorded ----
  std::vector<std::wstring> searches;  // every pattern given to ListEntries
  std::vector<std::wstring> deletedFiles;
  std::vector<std::wstring> foldersCreated;  // CreateDirectory, each part asked for
  // Files the program creates and writes: full contents by path as given.
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
  std::vector<std::wstring> removedFolders;

  // Wildcard match as the directory search does it: case-insensitive, '*' and '?'.
  static bool Matches(const std::wstring& pattern, const std::wstring& name);

  std::wstring ModulePath() override { return Fails("GetModuleFileName") ? L"" : modulePath; }
  std::vector<FolderEntry> ListEntries(const std::wstring& pattern) override;
  bool Exists(const std::wstring& path) override { return !Fails("wstat") && Listed(path); }
  bool DeleteFile(const std::wstring& path) override;
  Status CreateFolder(const std::wstring& path) override;
  Read<std::wstring> GetWindowsDirectory() override {
    if (Fails("GetWindowsDirectory") || !windowsDirectory) return {};
    return {true, *windowsDirectory, 0};
  }
  Read<std::wstring> GetSystemDirectory() override {
    if (Fails("GetSystemDirectory")) return Failed();
    if (!systemDirectory) return {false, L"", systemDirectoryError};
    return {true, *systemDirectory, 0};
  }
  Read<std::wstring> GetCurrentDirectory() override {
    if (Fails("GetCurrentDirectory")) return Failed();
    if (!currentDirectory) return {false, L"", 5};
    return {true, *currentDirectory, 0};
  }
  FileToken CreateFile(const std::wstring& path, std::uint32_t access, std::uint32_t share,
                       std::uint32_t disposition, std::uint32_t attributes,
                       Status* error = nullptr) override;
  bool WriteFile(FileToken file, const void* data, std::uint32_t size) override;
  void CloseFile(FileToken file) override {
    Record("CloseFile");
    if (seam_.CloseHandle(file, "file")) openFilePaths_.erase(file);
  }
  Status CreateSecuredFolder(const std::wstring& path, const std::wstring& sddl) override;
  Status RemoveFolder(const std::wstring& path) override;
  bool FillRandom(void* buffer, std::uint32_t size) override {
    if (Fails("RtlGenRandom") || randomFails || randomBytes.empty()) return false;
    for (std::uint32_t i = 0; i < size; ++i)
      static_cast<std::uint8_t*>(buffer)[i] = randomBytes[i % randomBytes.size()];
    return true;
  }

 private:
  // The entry named `path` (any case), a folder's only when `folder`; entries.end() if none.
  std::vector<FolderEntry>::iterator Find(const std::wstring& path, bool folder = false);
  bool Listed(const std::wstring& path) { return Find(path) != entries.end(); }
  std::map<FileToken, std::wstring> openFilePaths_;
  int writes_ = 0;
};

// The process's environment variables.
class FakeEnvironment : public Environment, SeamPart {
 public:
  explicit FakeEnvironment(Seam& seam) : SeamPart(seam) {}
  std::map<std::wstring, std::wstring> variables{{L"TMP", L"C:\\temp"}};  // given
  std::vector<std::wstring> reads;  // recorded: each variable read

  Read<std::wstring> GetVariable(const std::wstring& name) override;
  Read<std::wstring> Expand(const std::wstring& text) override;
};

// The registry: keys named as "HKCU\Software\NeedBstrReboot".
class FakeRegistry : public Registry, SeamPart {
 public:
  FakeRegistry(Seam& seam, const std::set<std::wstring>& loadedModules)
      : SeamPart(seam), loadedModules_(loadedModules) {}
  // ---- given ----
  std::set<std::wstring> keys{L"HKCU\\Software"};
  std::set<std::wstring> failingOpens;  // keys whose open fails with 5
  // Values, by "HKLM\Key\Sub" + "|" + value name, and their types where not REG_SZ (1).
  std::map<std::wstring, std::wstring> values;
  std::map<std::wstring, std::uint32_t> valueTypes;
  // ---- recorded ----
  struct Operation {
    std::string what;  // "open", "create", "delete"
    std::wstring key;
    std::uint32_t access;
    std::string route;  // the deleting export, RegDeleteKeyExW or RegDeleteKeyW
  };
  std::vector<Operation> operations;
  int openKeys = 0;  // currently open (must be 0 after every step)

  Status OpenKey(RegistryRoot root, const std::wstring& subKey, std::uint32_t access,
                 KeyToken* key) override {
    if (Fails("RegOpenKeyEx")) return Fault();
    return OpenNamed(KeyName(root, subKey), access, key);
  }
  Status CreateKey(RegistryRoot root, const std::wstring& subKey, std::uint32_t access,
                   KeyToken* key) override {
    if (Fails("RegCreateKeyEx")) return Fault();
    return OpenNamed(KeyName(root, subKey), access, key, true);
  }
  Status OpenSubKey(KeyToken parent, const std::wstring& subKey, std::uint32_t access,
                    KeyToken* key) override {
    if (Fails("RegOpenKeyEx")) return Fault();
    auto it = openKeyNames_.find(parent);
    if (it == openKeyNames_.end()) return 6;  // ERROR_INVALID_HANDLE
    return OpenNamed(it->second + L"\\" + subKey, access, key);
  }
  Read<RegistryText> QueryText(KeyToken key, const std::wstring& name) override;
  void CloseKey(KeyToken key) override {
    Record("RegCloseKey");
    openKeys += openKeyNames_.erase(key) == 1 ? -1 : 1;  // closing what is not open: an imbalance
  }
  Status DeleteSubKey(KeyToken parent, const std::wstring& name) override;

 private:
  // Opens (or, with `create`, makes) the key `name`, recording the operation.
  Status OpenNamed(const std::wstring& name, std::uint32_t access, KeyToken* key, bool create = false);
  static std::wstring KeyName(RegistryRoot root, const std::wstring& subKey) {
    return (root == RegistryRoot::CurrentUser ? L"HKCU\\" : L"HKLM\\") + subKey;
  }
  const std::set<std::wstring>& loadedModules_;  // where the deletion's API set is looked for
  std::map<KeyToken, std::wstring> openKeyNames_;
  std::uintptr_t nextKey_ = 0x100;
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

class FakeProcesses;

// Windows Installer: package files and the products installed.
class FakeWindowsInstaller : public WindowsInstaller, SeamPart {
 public:
  FakeWindowsInstaller(Seam& seam, const FakeProcesses& processes)
      : SeamPart(seam), processes_(processes) {}
  // ---- given ----
  std::map<std::wstring, FakePackage> packages;  // by full path
  std::vector<FakeProduct> products;             // in enumeration order
  // Property name -> status that every read of it returns (at its first call).
  std::map<std::wstring, Status> failingProperties;
  Status productInfoLengthStatus = 0;  // non-zero: the length query fails
  Status productInfoValueStatus = 0;   // non-zero: the value query fails
  // ---- recorded ----
  int handlesOpened = 0;
  int handlesClosed = 0;
  std::vector<MsiToken> closedTokens;
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

  void SetInternalUI(std::uint32_t level) override {
    if (!Fails("MsiSetInternalUI")) internalUiLevels.push_back(level);
  }
  Status OpenPackageEx(const std::wstring& path, std::uint32_t options, MsiToken* handle) override;
  Read<std::wstring> GetProperty(MsiToken handle, const std::wstring& name) override;
  void CloseHandle(MsiToken handle) override {
    Record("MsiCloseHandle");
    closedTokens.push_back(handle);
    ++handlesClosed;
    openPackages_.erase(handle);
  }
  Read<std::wstring> EnumRelatedProducts(const std::wstring& upgradeCode,
                                         std::uint32_t index) override;
  SizedRead GetProductInfo(const std::wstring& product, const std::wstring& property) override;
  Read<std::wstring> GetProductInfoUpTo(const std::wstring& product, const std::wstring& property,
                                        std::uint32_t maxCharacters) override;
  int QueryProductState(const std::wstring& product) override {
    if (Fails("MsiQueryProductState")) return static_cast<int>(seam_.fault);
    const FakeProduct* p = Product(product);
    return p ? p->state : -1;  // INSTALLSTATE_UNKNOWN
  }
  int QueryFeatureState(const std::wstring& product, const std::wstring& feature) override {
    if (Fails("MsiQueryFeatureState")) return static_cast<int>(seam_.fault);
    const FakeProduct* p = Product(product);
    return p && feature == L"NPSIVET" ? p->featureState : -1;
  }
  Status SourceListClearAll(const std::wstring& product) override {
    if (Fails("MsiSourceListClearAll")) return Fault();
    sourceListCalls.push_back({"ClearAll", product, 0, 0, L"", L""});
    return product.empty() ? 87 : 0;
  }
  Status SourceListSetInfo(const std::wstring& product, std::uint32_t context, std::uint32_t options,
                           const std::wstring& property, const std::wstring& value) override {
    if (Fails("MsiSourceListSetInfo")) return Fault();
    sourceListCalls.push_back({"SetInfo", product, context, options, property, value});
    return product.empty() ? 87 : 0;
  }

 private:
  bool ProductInstalled() const;
  const FakeProduct* Product(const std::wstring& code) const;
  Read<std::wstring> ProductProperty(const std::wstring& product, const std::wstring& property,
                                     Status injected) const;
  const FakeProcesses& processes_;  // whose runs tell whether msiexec installed the product
  std::map<MsiToken, std::wstring> openPackages_;
  std::uint32_t nextHandle_ = 0x2000;
};

// Processes: the children run, the run lock, and a restart's steps.
class FakeProcesses : public Processes, public PowerControl, SeamPart {
 public:
  explicit FakeProcesses(Seam& seam) : SeamPart(seam) {}
  // ---- given ----
  std::function<Status(const std::wstring&)> onRun;  // a child's exit code; default: 0
  // How claiming the run lock goes, and the owner of one that existed.
  MutexClaim mutexClaim = MutexClaim::Created;
  std::wstring mutexOwner = L"S-1-5-32-544";
  std::optional<Status> privilegeResult = Status{0};  // nullopt: no token
  bool exitWindowsAccepts = true;
  // ---- recorded ----
  std::vector<std::wstring> commandLines;
  std::vector<std::wstring> applications;  // the application name of each, empty: none
  std::vector<std::wstring> claimedMutexes;  // "<name> <SDDL>"
  struct ExitWindowsCall {
    std::uint32_t flags;
    std::uint32_t reason;
  };
  std::vector<ExitWindowsCall> exitWindowsCalls;

  Status RunAndWait(const std::wstring& commandLine, const std::wstring& application) override {
    if (Fails("RunAndWait")) return Fault();
    commandLines.push_back(commandLine);
    applications.push_back(application);
    return onRun ? onRun(commandLine) : 0;
  }
  MutexClaim ClaimMutex(const std::wstring& name, const std::wstring& sddl, std::wstring* owner,
                        Status* error) override;
  std::optional<Status> EnableShutdownPrivilege() override {
    return Fails("EnableShutdownPrivilege") ? std::nullopt : privilegeResult;
  }
  bool ExitWindows(std::uint32_t flags, std::uint32_t reason) override {
    if (Fails("ExitWindowsEx")) return false;
    exitWindowsCalls.push_back({flags, reason});
    return exitWindowsAccepts;
  }
};

// The clock, and standard output, where the start's time stamp also goes.
class FakeClock : public Clock, public StandardOutput, SeamPart {
 public:
  explicit FakeClock(Seam& seam) : SeamPart(seam) {}
  LocalTime now{2026, 12, 7, 4, 36, 54};  // given
  std::vector<std::wstring> stdoutLines;  // recorded

  LocalTime Now() override {
    Record("localtime");
    return now;
  }
  LocalTime PreciseNow() override { return now; }  // the log's: not a call
  void WriteLine(const std::wstring& text) override {
    if (!Fails("_putws")) stdoutLines.push_back(text);
  }
};

// The service control manager.
class FakeServices : public Services, SeamPart {
 public:
  explicit FakeServices(Seam& seam) : SeamPart(seam) {}
  std::set<std::wstring> existing;  // given: the services that exist
  bool managerFails = false;
  std::vector<std::uint32_t> accesses;  // recorded: the manager's, then each service's

  ServiceToken OpenManager(std::uint32_t access) override {
    if (Fails("OpenSCManager")) return {};
    accesses.push_back(access);
    return managerFails ? ServiceToken{} : seam_.OpenHandle<ServiceToken>("service");
  }
  ServiceToken OpenService(ServiceToken, const std::wstring& name, std::uint32_t access) override {
    if (Fails("OpenService")) return {};
    accesses.push_back(access);
    return existing.count(name) ? seam_.OpenHandle<ServiceToken>("service") : ServiceToken{};
  }
  void CloseService(ServiceToken handle) override {
    Record("CloseServiceHandle");
    seam_.CloseHandle(handle, "service");
  }
};

// Threads: the bodies started are kept, to be run by hand.
class FakeThreads : public Threads, SeamPart {
 public:
  explicit FakeThreads(Seam& seam) : SeamPart(seam) {}
  bool startFails = false;  // given
  bool endsInTime = true;   // whether a wait sees the thread end
  std::vector<std::shared_ptr<ThreadBody>> started;  // recorded
  std::vector<std::uint32_t> waits;                  // the time limits asked for

  ThreadToken StartThread(std::shared_ptr<ThreadBody> body) override {
    if (Fails("CreateThread") || startFails) return {};
    started.push_back(std::move(body));
    return seam_.OpenHandle<ThreadToken>("thread");
  }
  bool WaitThread(ThreadToken, std::uint32_t milliseconds) override {
    if (Fails("WaitForSingleObject")) return false;
    waits.push_back(milliseconds);
    return endsInTime;
  }
  void CloseThread(ThreadToken thread) override {
    Record("CloseThreadHandle");
    seam_.CloseHandle(thread, "thread");
  }
};

// The network: one response for every URL opened.
class FakeNetwork : public Network, SeamPart {
 public:
  explicit FakeNetwork(Seam& seam) : SeamPart(seam) {}
  // ---- given ----
  bool sessionFails = false;
  bool urlFails = false;
  std::optional<std::wstring> contentDisposition = std::wstring(L"attachment; filename=\"Yandex.exe\"");
  std::vector<std::string> bodyChunks{"MZ body"};
  int readsBeforeFailure = -1;   // -1: reads never fail
  std::function<void()> onRead;  // runs before each read (e.g. a cancel arriving)
  // ---- recorded ----
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

  InternetToken OpenSession(const std::wstring& agent, std::uint32_t accessType) override {
    if (Fails("InternetOpen")) return {};
    sessions.push_back({agent, accessType});
    return sessionFails ? InternetToken{} : seam_.OpenHandle<InternetToken>("internet");
  }
  InternetToken OpenUrl(InternetToken, const std::wstring& url, std::uint32_t flags) override {
    if (Fails("InternetOpenUrl")) return {};
    urlsOpened.push_back({url, flags});
    nextChunk_ = 0;
    reads_ = 0;
    return urlFails ? InternetToken{} : seam_.OpenHandle<InternetToken>("internet");
  }
  Read<std::wstring> QueryHeader(InternetToken, std::uint32_t infoLevel) override {
    if (Fails("HttpQueryInfo")) return {};
    headerQueries.push_back(infoLevel);
    // Not there (ERROR_HTTP_HEADER_NOT_FOUND), or with its null more than 520 bytes.
    if (!contentDisposition || (contentDisposition->size() + 1) * sizeof(wchar_t) > 520) return {};
    return {true, *contentDisposition, 0};
  }
  bool ReadData(InternetToken request, void* buffer, std::uint32_t size, std::uint32_t* read) override;
  void CloseInternetHandle(InternetToken handle) override {
    Record("InternetCloseHandle");
    seam_.CloseHandle(handle, "internet");
  }

 private:
  std::size_t nextChunk_ = 0;
  int reads_ = 0;
};

// Signature checks.
class FakeTrust : public Trust, SeamPart {
 public:
  explicit FakeTrust(Seam& seam) : SeamPart(seam) {}
  std::map<std::wstring, std::int32_t> results;     // given: by path (default 0, trusted)
  std::wstring signer = L"Korvana Test Publisher";  // of every file checked
  std::vector<std::wstring> verifiedPaths;          // recorded

  TrustVerdict VerifyFile(const std::wstring& path) override {
    if (Fails("WinVerifyTrust")) return {static_cast<std::int32_t>(seam_.fault), {}};
    verifiedPaths.push_back(path);
    auto it = results.find(path);
    return {it == results.end() ? 0 : it->second, signer};
  }
};

// Libraries loaded by name.
class FakeLibraries : public Libraries, SeamPart {
 public:
  explicit FakeLibraries(Seam& seam) : SeamPart(seam) {}
  // Given: those that load, and their "KorvDllPatch" result (nullopt: no export).
  std::map<std::wstring, std::optional<std::int32_t>> loadable;
  std::vector<std::wstring> loaded;  // recorded: each name asked for
  std::vector<std::wstring> freed;
  int exportCalls = 0;

  LibraryToken LoadLibrary(const std::wstring& name) override;
  std::optional<std::int32_t> CallExport(LibraryToken library, const char* name) override;
  void FreeLibrary(LibraryToken library) override {
    Record("FreeLibrary");
    auto it = openNames_.find(library);
    if (it != openNames_.end()) freed.push_back(it->second);
    if (seam_.CloseHandle(library, "library")) openNames_.erase(library);
  }

 private:
  std::map<LibraryToken, std::wstring> openNames_;
};

// The bootstrapper's own log, line by line (its lines are not calls: they fail
// nothing), and its file: every name tried, the one created, and whether the run gave
// up on a file.
class FakeLog : public Log, SeamPart {
 public:
  explicit FakeLog(Seam& seam) : SeamPart(seam) {}
  std::map<std::wstring, Status> createErrors;  // given: by path; ERROR_FILE_EXISTS: taken
  // ---- recorded ----
  std::vector<std::wstring> lines;
  std::wstring written;  // every line as written, its time and CR LF included
  std::vector<std::wstring> creates;
  std::optional<std::wstring> file;
  std::size_t linesBeforeFile = 0;  // lines written before the file was created
  bool abandoned = false;

  void Write(const std::wstring& line) override {
    written += line;
    // The text alone: past the time ("hh:mm:ss.mmm "), before the CR LF.
    lines.push_back(line.size() >= 15 ? line.substr(13, line.size() - 15) : line);
  }
  Status Create(const std::wstring& path) override;
  void Abandon() override { abandoned = true; }
};

// The whole machine, as tests construct it: a fake for each part, all on one seam.
class FakePlatform : public Seam {
 public:
  FakePlatform();
  FakePlatform(const FakePlatform&) = delete;
  FakePlatform& operator=(const FakePlatform&) = delete;
  Platform& platform() { return platform_; }

  FakeUserInterface ui{*this};
  FakeSystem system{*this};
  FakeCommandLine commandLine{*this};
  FakeFileSystem files{*this};
  FakeEnvironment environment{*this};
  FakeRegistry registry{*this, system.loadedModules};
  FakeProcesses processes{*this};
  FakeWindowsInstaller msi{*this, processes};
  FakeClock clock{*this};
  FakeServices services{*this};
  FakeThreads threads{*this};
  FakeNetwork network{*this};
  FakeTrust trust{*this};
  FakeLibraries libraries{*this};
  FakeLog log{*this};

  // A package file at `path` with these properties.
  void AddPackage(const std::wstring& path, std::map<std::wstring, std::wstring> properties,
                  Status openStatus = 0) {
    files.AddFile(path);
    msi.packages[path] = FakePackage{std::move(properties), openStatus};
  }
  // Runs the last thread started to its end, here, and hands `dialog` the messages it
  // posted; the thread's exit code.
  std::uint32_t RunLastThread(FakeDialog& dialog);

 private:
  CompiledCatalog catalog_;
  Platform platform_;
};

}  // namespace korvana::testing
