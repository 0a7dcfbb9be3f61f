#include "fake_platform.h"

#include <algorithm>
#include <cwctype>

#include "resources/dialog_ids.h"
#include "resources/text_ids.h"

namespace korvana::testing {
namespace {

std::wstring Lower(std::wstring s) {
  for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
  return s;
}

std::pair<std::wstring, std::wstring> SplitFolder(const std::wstring& path) {
  auto cut = path.rfind(L'\\');
  if (cut == std::wstring::npos) return {L"", path};
  return {path.substr(0, cut + 1), path.substr(cut + 1)};
}

bool MatchFrom(const std::wstring& p, std::size_t pi, const std::wstring& n, std::size_t ni) {
  while (pi < p.size()) {
    if (p[pi] == L'*') {
      for (std::size_t k = ni; k <= n.size(); ++k)
        if (MatchFrom(p, pi + 1, n, k)) return true;
      return false;
    }
    if (ni >= n.size()) return false;
    if (p[pi] != L'?' && std::towlower(p[pi]) != std::towlower(n[ni])) return false;
    ++pi;
    ++ni;
  }
  return ni == n.size();
}

}  // namespace

FakePlatform::FakePlatform()
    : platform_{*this, catalog_, *this, *this, *this, *this, *this, *this, *this,
                *this, *this, *this, *this, *this, *this, *this, *this, *this} {}

bool FakePlatform::Matches(const std::wstring& pattern, const std::wstring& name) {
  return MatchFrom(pattern, 0, name, 0);
}

// ---- UserInterface ---------------------------------------------------------------
Status FakePlatform::InitCommonControls() {
  calls.push_back("InitCommonControlsEx");
  if (Fails()) return static_cast<Status>(fault_);
  return commonControlsResult;
}

std::optional<bool> FakePlatform::IsWindowStationVisible() {
  calls.push_back("GetUserObjectInformation");
  if (Fails()) return std::nullopt;
  return windowStationVisible;
}

void FakePlatform::CreateOwnerWindow() {
  calls.push_back("CreateOwnerWindow");
  if (Fails()) return;
  ownerWindowCreated = true;
}

int FakePlatform::ShowMessageBox(Owner owner, const std::wstring& text, const std::wstring& caption,
                                 std::uint32_t style) {
  calls.push_back("MessageBox");
  if (Fails()) return static_cast<int>(fault_);
  boxes.push_back({owner, text, caption, style});
  if (!boxAnswers.empty()) {
    int answer = boxAnswers.front();
    boxAnswers.pop_front();
    return answer;
  }
  return (style & 0xF) == 4 ? 6 : 1;
}

// ---- SystemProbes ----------------------------------------------------------------
bool FakePlatform::IsUserAnAdmin() {
  calls.push_back("IsUserAnAdmin");
  if (Fails()) return false;
  return admin;
}

bool FakePlatform::IsBelowServicePack(std::uint32_t major, std::uint32_t minor,
                                      std::uint16_t servicePack) {
  calls.push_back("VerifyVersionInfo");
  if (Fails()) return false;
  versionQueries.push_back({major, minor, servicePack});
  return !verifyVersionFails && osMajor == major && osMinor == minor && osServicePack < servicePack;
}

NtVersion FakePlatform::GetNtVersion() {
  calls.push_back("RtlGetNtVersionNumbers");
  return {osMajor, osMinor};
}

std::optional<bool> FakePlatform::IsWow64() {
  if (!isWow64Export_) {
    calls.push_back("GetProcAddress:IsWow64Process");
    if (Fails()) return std::nullopt;
    ++kernel32Lookups;
    if (!kernel32Loaded) return std::nullopt;
    isWow64Export_ = hasIsWow64Process;
  }
  if (!*isWow64Export_) return std::nullopt;
  calls.push_back("IsWow64Process");
  if (Fails()) return std::nullopt;
  return isWow64;
}

std::optional<std::uint16_t> FakePlatform::NativeMachine() {
  calls.push_back("GetProcAddress:IsWow64Process2");
  if (Fails()) return std::nullopt;
  ++kernel32Lookups;
  if (!kernel32Loaded || !hasIsWow64Process2) return std::nullopt;
  calls.push_back("IsWow64Process2");
  if (Fails()) return std::nullopt;
  return nativeMachine;
}

std::uint16_t FakePlatform::GetUserDefaultUILanguage() {
  calls.push_back("GetUserDefaultUILanguage");
  return uiLanguage;
}

bool FakePlatform::IsModuleLoaded(const std::wstring& name) {
  calls.push_back("GetModuleHandle");
  if (Fails()) return false;
  return loadedModules.count(name) != 0;
}

// ---- CommandLine -----------------------------------------------------------------
std::wstring FakePlatform::GetProcessCommandLine() {
  calls.push_back("GetCommandLine");
  return processCommandLine;
}

std::optional<std::vector<std::wstring>> FakePlatform::Split(const std::wstring& commandLine) {
  calls.push_back("CommandLineToArgv");
  if (Fails()) return std::nullopt;
  if (argv) return *argv;
  // Blanks separate arguments; double quotes group and are removed.
  std::vector<std::wstring> out;
  std::wstring current;
  bool inQuotes = false, any = false;
  for (wchar_t c : commandLine) {
    if (c == L'"') {
      inQuotes = !inQuotes;
      any = true;
    } else if ((c == L' ' || c == L'\t') && !inQuotes) {
      if (any) out.push_back(current);
      current.clear();
      any = false;
    } else {
      current += c;
      any = true;
    }
  }
  if (any) out.push_back(current);
  return out;
}

// ---- FileSystem ------------------------------------------------------------------
std::wstring FakePlatform::ModulePath() {
  calls.push_back("GetModuleFileName");
  if (Fails()) return {};
  return modulePath;
}

std::vector<FolderEntry> FakePlatform::ListEntries(const std::wstring& pattern) {
  calls.push_back("ListEntries");
  if (Fails()) return {};
  searches.push_back(pattern);
  auto [folder, namePattern] = SplitFolder(pattern);
  std::vector<FolderEntry> out;
  bool folderExists = folder.empty() || folder.size() == 3;  // a drive root always exists
  // A folder exists when it is declared or when something lies in it.
  for (const auto& e : entries) {
    if (e.directory && Lower(e.name + L"\\") == Lower(folder)) folderExists = true;
    if (Lower(SplitFolder(e.name).first) == Lower(folder)) folderExists = true;
  }
  if (!folderExists) return out;
  if (folder.size() != 3) {  // a root has no "." and ".."
    out.push_back({L".", true});
    out.push_back({L"..", true});
  }
  for (const auto& e : entries) {
    auto [entryFolder, name] = SplitFolder(e.name);
    if (Lower(entryFolder) == Lower(folder) && Matches(namePattern, name)) out.push_back({name, e.directory});
  }
  return out;
}

bool FakePlatform::Exists(const std::wstring& path) {
  calls.push_back("wstat");
  if (Fails()) return false;
  return std::any_of(entries.begin(), entries.end(),
                     [&](const FolderEntry& e) { return Lower(e.name) == Lower(path); });
}

bool FakePlatform::DeleteFile(const std::wstring& path) {
  calls.push_back("DeleteFile");
  if (Fails()) return false;
  deletedFiles.push_back(path);
  if (fileContents.count(path)) {  // a file the program wrote
    for (const auto& open : openFilePaths_)
      if (open.second == path) return false;  // ERROR_SHARING_VIOLATION: still open
    fileContents.erase(path);
    return true;
  }
  auto it = std::find_if(entries.begin(), entries.end(),
                         [&](const FolderEntry& e) { return Lower(e.name) == Lower(path); });
  if (it == entries.end()) return false;
  entries.erase(it);
  return true;
}

Status FakePlatform::CreateFolder(const std::wstring& path) {
  calls.push_back("CreateDirectory");
  if (Fails() || failingCreates.count(path) != 0) return static_cast<Status>(fault_ != 0 ? fault_ : 5);
  foldersCreated.push_back(path);
  for (const FolderEntry& entry : entries)
    if (Lower(entry.name) == Lower(path)) return 183;  // ERROR_ALREADY_EXISTS
  AddFolder(path);
  return 0;
}

Status FakePlatform::Create(const std::wstring& path) {
  calls.push_back("CreateLogFile");
  if (Fails()) return static_cast<Status>(fault_ != 0 ? fault_ : 5);
  logCreates.push_back(path);
  const auto error = logCreateErrors.find(path);
  if (error != logCreateErrors.end()) return error->second;
  logFile = path;
  linesBeforeLogFile = logLines.size();
  return 0;
}

Read<std::wstring> FakePlatform::GetWindowsDirectory() {
  calls.push_back("GetWindowsDirectory");
  if (Fails() || !windowsDirectory) return {};
  return {true, *windowsDirectory, 0};
}

Read<std::wstring> FakePlatform::GetSystemDirectory() {
  calls.push_back("GetSystemDirectory");
  if (Fails()) return {false, L"", static_cast<Status>(fault_)};
  if (!systemDirectory) return {false, L"", systemDirectoryError};
  return {true, *systemDirectory, 0};
}

Read<std::wstring> FakePlatform::GetVariable(const std::wstring& name) {
  calls.push_back("GetEnvironmentVariable");
  if (Fails()) return {false, L"", static_cast<Status>(fault_)};
  environmentReads.push_back(name);
  auto it = environment.find(name);
  if (it == environment.end()) return {false, L"", 203};
  if (it->second.empty()) return {false, L"", 0};  // set but empty: no error of its own
  return {true, it->second, 0};
}

// ---- Registry --------------------------------------------------------------------
std::wstring FakePlatform::KeyName(RegistryRoot root, const std::wstring& subKey) const {
  return (root == RegistryRoot::CurrentUser ? L"HKCU\\" : L"HKLM\\") + subKey;
}

Status FakePlatform::OpenKey(RegistryRoot root, const std::wstring& subKey, std::uint32_t access,
                             KeyToken* key) {
  calls.push_back("RegOpenKeyEx");
  if (Fails()) return static_cast<Status>(fault_);
  return OpenNamedKey(KeyName(root, subKey), access, key);
}

Status FakePlatform::OpenNamedKey(const std::wstring& name, std::uint32_t access, KeyToken* key) {
  registryCalls.push_back({"open", name, access, ""});
  if (failingOpens.count(name)) return 5;
  if (!keys.count(name)) return 2;
  *key = static_cast<KeyToken>(nextKey_++);
  openKeyNames_[*key] = name;
  ++openKeys;
  return 0;
}

Status FakePlatform::CreateKey(RegistryRoot root, const std::wstring& subKey, std::uint32_t access,
                               KeyToken* key) {
  calls.push_back("RegCreateKeyEx");
  if (Fails()) return static_cast<Status>(fault_);
  std::wstring name = KeyName(root, subKey);
  registryCalls.push_back({"create", name, access, ""});
  if (failingOpens.count(name)) return 5;
  keys.insert(name);
  *key = static_cast<KeyToken>(nextKey_++);
  openKeyNames_[*key] = name;
  ++openKeys;
  return 0;
}

void FakePlatform::CloseKey(KeyToken key) {
  calls.push_back("RegCloseKey");
  if (openKeyNames_.erase(key) == 1) --openKeys;
  else ++openKeys;  // closing something not open shows up as an imbalance
}

Status FakePlatform::DeleteSubKey(KeyToken parent, const std::wstring& name) {
  // RegDeleteKeyExW where the local registry API set is loaded (a failed look counts as
  // not loaded), else RegDeleteKeyW.
  calls.push_back("GetModuleHandle");
  const bool apiSet = !Fails() && loadedModules.count(L"API-MS-Win-Core-LocalRegistry-L1-1-0.dll");
  const std::string route = apiSet ? "RegDeleteKeyExW" : "RegDeleteKeyW";
  calls.push_back(route);
  if (Fails()) return static_cast<Status>(fault_);
  auto it = openKeyNames_.find(parent);
  if (it == openKeyNames_.end()) return 6;
  std::wstring full = it->second + L"\\" + name;
  registryCalls.push_back({"delete", full, 0, route});
  return keys.erase(full) ? 0 : 2;
}

// ---- WindowsInstaller ------------------------------------------------------------
void FakePlatform::SetInternalUI(std::uint32_t level) {
  calls.push_back("MsiSetInternalUI");
  if (Fails()) return;
  internalUiLevels.push_back(level);
}

Status FakePlatform::OpenPackageEx(const std::wstring& path, std::uint32_t options, MsiToken* handle) {
  calls.push_back("MsiOpenPackageEx");
  if (Fails()) return static_cast<Status>(fault_);
  if (options != 1) return 87;
  auto it = packages.find(path);
  if (it == packages.end()) return 1619;  // ERROR_INSTALL_PACKAGE_OPEN_FAILED
  if (it->second.openStatus != 0) return it->second.openStatus;
  *handle = static_cast<MsiToken>(nextHandle_++);
  openPackages_[*handle] = path;
  ++openMsiHandles;
  return 0;
}

Read<std::wstring> FakePlatform::GetProperty(MsiToken handle, const std::wstring& name) {
  calls.push_back("MsiGetProperty");  // the length
  if (Fails()) return {false, L"", static_cast<Status>(fault_)};
  auto open = openPackages_.find(handle);
  if (open == openPackages_.end()) return {false, L"", 6};
  const auto& props = packages[open->second].properties;
  auto it = props.find(name);
  calls.push_back("MsiGetProperty");  // the value
  if (Fails()) return {false, L"", static_cast<Status>(fault_)};
  // Windows Installer answers an undefined property with an empty value; a text read
  // into a buffer ends at its first null, as the Win32 side reads it.
  if (it == props.end()) return {true, L"", 0};
  return {true, it->second.substr(0, it->second.find(L'\0')), 0};
}

void FakePlatform::CloseHandle(MsiToken handle) {
  calls.push_back("MsiCloseHandle");
  closedHandles.push_back(handle);
  ++closedMsiHandles;
  openPackages_.erase(handle);
}

Read<std::wstring> FakePlatform::EnumRelatedProducts(const std::wstring& upgradeCode,
                                                     std::uint32_t index) {
  calls.push_back("MsiEnumRelatedProducts");
  if (Fails()) return {false, L"", static_cast<Status>(fault_)};
  std::uint32_t seen = 0;
  for (const auto& p : products) {
    if (p.upgradeCode == upgradeCode && seen++ == index) return {true, p.productCode.substr(0, 38), 0};
  }
  return {false, L"", 259};
}

// Once the installer has run, the product asked about is the one just installed.
bool FakePlatform::ProductInstalled() const {
  return std::any_of(commandLines.begin(), commandLines.end(), [](const std::wstring& c) {
    return c.find(L"msiexec.exe") != std::wstring::npos;
  });
}

// A read of the product's property; `injected`, when not 0, fails a known property.
Read<std::wstring> FakePlatform::ProductProperty(const std::wstring& product,
                                                 const std::wstring& property, Status injected) const {
  if (property != L"VersionString" && property != L"InstalledProductName")
    return {false, L"", 1608};  // ERROR_UNKNOWN_PROPERTY
  if (injected) return {false, L"", injected};
  auto it = std::find_if(products.begin(), products.end(),
                         [&](const FakeProduct& p) { return p.productCode == product; });
  if (it == products.end()) return {false, L"", 1605};  // ERROR_UNKNOWN_PRODUCT
  const std::wstring& value = property == L"VersionString" ? it->versionString : it->name;
  return {true, value.substr(0, value.find(L'\0')), 0};  // up to a null, as read into a buffer
}

SizedRead FakePlatform::GetProductInfo(const std::wstring& product, const std::wstring& property) {
  const bool installed = ProductInstalled();
  calls.push_back(installed ? "MsiGetProductInfo:installed" : "MsiGetProductInfo:length");
  if (Fails()) return {{false, L"", static_cast<Status>(fault_)}, false};
  const Read<std::wstring> length = ProductProperty(product, property, productInfoLengthStatus);
  if (!length.ok) return {length, false};
  calls.push_back(installed ? "MsiGetProductInfo:installed" : "MsiGetProductInfo:value");
  if (Fails()) return {{false, L"", static_cast<Status>(fault_)}, true};
  return {ProductProperty(product, property, productInfoValueStatus), true};
}

Read<std::wstring> FakePlatform::GetProductInfoUpTo(const std::wstring& product,
                                                    const std::wstring& property,
                                                    std::uint32_t maxCharacters) {
  calls.push_back(ProductInstalled() ? "MsiGetProductInfo:installed" : "MsiGetProductInfo:value");
  if (Fails()) return {false, L"", static_cast<Status>(fault_)};
  const Read<std::wstring> read = ProductProperty(product, property, productInfoValueStatus);
  if (read.ok && read.value.size() > maxCharacters) return {false, L"", 234};  // ERROR_MORE_DATA
  return read;
}

int FakePlatform::QueryProductState(const std::wstring& product) {
  calls.push_back("MsiQueryProductState");
  if (Fails()) return static_cast<int>(fault_);
  for (const auto& p : products)
    if (p.productCode == product) return p.state;
  return -1;  // INSTALLSTATE_UNKNOWN
}

int FakePlatform::QueryFeatureState(const std::wstring& product, const std::wstring& feature) {
  calls.push_back("MsiQueryFeatureState");
  if (Fails()) return static_cast<int>(fault_);
  for (const auto& p : products)
    if (p.productCode == product && feature == L"NPSIVET") return p.featureState;
  return -1;
}

Status FakePlatform::SourceListClearAll(const std::wstring& product) {
  calls.push_back("MsiSourceListClearAll");
  if (Fails()) return static_cast<Status>(fault_);
  sourceListCalls.push_back({"ClearAll", product, 0, 0, L"", L""});
  return product.empty() ? 87 : 0;
}

Status FakePlatform::SourceListSetInfo(const std::wstring& product, std::uint32_t context,
                                       std::uint32_t options, const std::wstring& property,
                                       const std::wstring& value) {
  calls.push_back("MsiSourceListSetInfo");
  if (Fails()) return static_cast<Status>(fault_);
  sourceListCalls.push_back({"SetInfo", product, context, options, property, value});
  return product.empty() ? 87 : 0;
}

// ---- Processes -------------------------------------------------------------------
MutexClaim FakePlatform::ClaimMutex(const std::wstring& name, const std::wstring& sddl,
                                    std::wstring* owner, Status* error) {
  calls.push_back("CreateMutex");
  if (Fails()) {
    *error = static_cast<Status>(fault_);
    return MutexClaim::Failed;
  }
  claimedMutexes.push_back(name + L" " + sddl);
  if (mutexClaim == MutexClaim::Failed) *error = 5;  // ERROR_ACCESS_DENIED
  if (mutexClaim != MutexClaim::Created && mutexClaim != MutexClaim::Failed) *owner = mutexOwner;
  return mutexClaim;
}

Status FakePlatform::RunAndWait(const std::wstring& commandLine, const std::wstring& application) {
  calls.push_back("RunAndWait");
  if (Fails()) return static_cast<Status>(fault_);
  commandLines.push_back(commandLine);
  applications.push_back(application);
  return onRun ? onRun(commandLine) : 0;
}

// ---- PowerControl ----------------------------------------------------------------
std::optional<Status> FakePlatform::EnableShutdownPrivilege() {
  calls.push_back("EnableShutdownPrivilege");
  if (Fails()) return std::nullopt;
  return privilegeResult;
}

bool FakePlatform::ExitWindows(std::uint32_t flags, std::uint32_t reason) {
  calls.push_back("ExitWindowsEx");
  if (Fails()) return false;
  exitWindowsCalls.push_back({flags, reason});
  return exitWindowsAccepts;
}

// ---- Clock -----------------------------------------------------------------------
LocalTime FakePlatform::Now() {
  calls.push_back("localtime");
  return now;
}

void FakePlatform::Write(const std::wstring& line) {
  logWritten += line;
  // The text alone: past the time ("hh:mm:ss.mmm "), before the CR LF.
  logLines.push_back(line.size() >= 15 ? line.substr(13, line.size() - 15) : line);
}

void FakePlatform::WriteLine(const std::wstring& text) {
  calls.push_back("_putws");
  if (Fails()) return;
  stdoutLines.push_back(text);
}

// ---- Handles of every kind ---------------------------------------------------------
std::uintptr_t FakePlatform::OpenHandleValue(const std::string& kind) {
  std::uintptr_t token = nextToken_++;
  openHandles[token] = kind;
  return token;
}

bool FakePlatform::CloseHandleValue(std::uintptr_t token, const std::string& kind) {
  auto it = openHandles.find(token);
  if (it == openHandles.end() || it->second != kind) {
    handleFaults.push_back("closed a " + kind + " handle that was not open");
    return false;
  }
  openHandles.erase(it);
  return true;
}

// ---- Fault injection ------------------------------------------------------------------
bool FakePlatform::Fails() {
  if (callLimit != 0 && calls.size() > callLimit && !limitHit_) {
    limitHit_ = true;  // once: the way out may still call in
    throw CallLimitExceeded{};
  }
  if (!failAt || calls.size() != *failAt + 1) return false;
  fault_ = failure ? failure(calls.back()) : 0;
  return true;
}

int FakePlatform::OpenCount(const std::string& kind) const {
  return static_cast<int>(std::count_if(openHandles.begin(), openHandles.end(),
                                        [&](const auto& h) { return h.second == kind; }));
}

int FakePlatform::Count(const std::string& call) const {
  return static_cast<int>(std::count(calls.begin(), calls.end(), call));
}

// ---- UserInterface: dialogs --------------------------------------------------------
std::intptr_t FakePlatform::ShowDialog(std::uint16_t templateId, Owner owner, DialogLogic& logic) {
  calls.push_back("DialogBoxParam");
  if (Fails()) return -1;
  dialogsShown.push_back(templateId);
  dialogOwners.push_back(owner);
  if (dialogFails) return -1;
  FakeDialog dialog(logic);
  if (onDialog) {
    onDialog(dialog);
  } else if (templateId == kConfigurationDialogId) {  // the user takes the choice as it opens
    dialog.Init();
    dialog.Press(kNextButton);
  } else {  // the user leaves the browser out and presses OK
    dialog.Init();
    dialog.Check(kBrowserBox, false);
    dialog.Press(1);
  }
  dialog.Send(0x0002);  // WM_DESTROY: DialogBoxParamW destroys the window before it returns
  return dialog.endedWith.value_or(0);
}

bool FakePlatform::PostMessage(WindowToken window, std::uint32_t message, std::uintptr_t wParam,
                               std::intptr_t lParam) {
  calls.push_back("PostMessage");
  if (Fails()) return false;
  posted.push_back({window, message, wParam, lParam});
  return true;
}

// ---- FileSystem: written files -------------------------------------------------------
Read<std::wstring> FakePlatform::Expand(const std::wstring& text) {
  calls.push_back("ExpandEnvironmentStrings");
  if (Fails()) return {false, L"", static_cast<Status>(fault_)};
  // %NAME% from the environment; unknown names stay as they stand, as Windows leaves them.
  std::wstring out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::size_t end = text[i] == L'%' ? text.find(L'%', i + 1) : std::wstring::npos;
    const auto known = end == std::wstring::npos ? environment.end()
                                                  : environment.find(text.substr(i + 1, end - i - 1));
    if (known == environment.end()) {
      out += text[i];
      continue;
    }
    out += known->second;
    i = end;
  }
  return {true, out, 0};
}

Read<std::wstring> FakePlatform::GetCurrentDirectory() {
  calls.push_back("GetCurrentDirectory");
  if (Fails()) return {false, L"", static_cast<Status>(fault_)};
  if (!currentDirectory) return {false, L"", 5};
  return {true, *currentDirectory, 0};
}

FileToken FakePlatform::CreateFile(const std::wstring& path, std::uint32_t access,
                                   std::uint32_t share, std::uint32_t disposition,
                                   std::uint32_t attributes, Status* error) {
  calls.push_back("CreateFile");
  const auto failed = [error](std::int64_t code) {
    if (error != nullptr) *error = static_cast<Status>(code);
    return FileToken{};
  };
  if (Fails()) return failed(fault_);
  createdFiles.push_back({path, access, share, disposition, attributes});
  if (failingCreates.count(path)) return failed(5);  // ERROR_ACCESS_DENIED
  if (disposition == 3 && lockedFiles.count(path)) return failed(32);  // ERROR_SHARING_VIOLATION
  if (disposition == 1 && fileContents.count(path)) return failed(80);  // ERROR_FILE_EXISTS
  const bool listed = std::any_of(entries.begin(), entries.end(), [&](const FolderEntry& e) {
    return !e.directory && Lower(e.name) == Lower(path);
  });
  if (disposition == 3 && !fileContents.count(path) && !listed) return failed(2);  // ERROR_FILE_NOT_FOUND
  if (disposition == 2) fileContents[path].clear();  // CREATE_ALWAYS
  if (disposition == 1) fileContents[path];           // CREATE_NEW: the file exists, empty
  const FileToken file = OpenHandle<FileToken>("file");
  openFilePaths_[file] = path;
  return file;
}

bool FakePlatform::WriteFile(FileToken file, const void* data, std::uint32_t size) {
  calls.push_back("WriteFile");
  if (Fails()) return false;
  auto it = openFilePaths_.find(file);
  if (it == openFilePaths_.end()) return false;
  if (writesBeforeFailure >= 0 && writes_ >= writesBeforeFailure) return false;
  ++writes_;
  fileContents[it->second].append(static_cast<const char*>(data), size);
  return true;
}

void FakePlatform::CloseFile(FileToken file) {
  calls.push_back("CloseFile");
  if (CloseHandleOf(file, "file")) openFilePaths_.erase(file);
}

Status FakePlatform::CreateSecuredFolder(const std::wstring& path, const std::wstring& sddl) {
  calls.push_back("CreateDirectory");
  if (Fails()) return static_cast<Status>(fault_);
  createdFolders.push_back({path, sddl});
  if (createFolderStatus != 0) return createFolderStatus;
  for (const auto& e : entries)
    if (Lower(e.name) == Lower(path)) return 183;  // ERROR_ALREADY_EXISTS
  AddFolder(path);
  return 0;
}

Status FakePlatform::RemoveFolder(const std::wstring& path) {
  calls.push_back("RemoveDirectory");
  if (Fails()) return static_cast<Status>(fault_);
  auto folder = std::find_if(entries.begin(), entries.end(), [&](const FolderEntry& e) {
    return e.directory && Lower(e.name) == Lower(path);
  });
  if (folder == entries.end()) return 2;  // ERROR_FILE_NOT_FOUND
  const std::wstring inside = Lower(path + L"\\");
  for (const auto& e : entries)
    if (Lower(e.name).rfind(inside, 0) == 0) return 145;  // ERROR_DIR_NOT_EMPTY
  for (const auto& file : fileContents)
    if (Lower(file.first).rfind(inside, 0) == 0) return 145;
  entries.erase(folder);
  removedFolders.push_back(path);
  return 0;
}

bool FakePlatform::FillRandom(void* buffer, std::uint32_t size) {
  calls.push_back("RtlGenRandom");
  if (Fails() || randomFails || randomBytes.empty()) return false;
  for (std::uint32_t i = 0; i < size; ++i)
    static_cast<std::uint8_t*>(buffer)[i] = randomBytes[i % randomBytes.size()];
  return true;
}

// ---- Registry: values -------------------------------------------------------------
Status FakePlatform::OpenSubKey(KeyToken parent, const std::wstring& subKey, std::uint32_t access,
                                KeyToken* key) {
  calls.push_back("RegOpenKeyEx");
  if (Fails()) return static_cast<Status>(fault_);
  auto it = openKeyNames_.find(parent);
  if (it == openKeyNames_.end()) return 6;  // ERROR_INVALID_HANDLE
  return OpenNamedKey(it->second + L"\\" + subKey, access, key);
}

Read<RegistryText> FakePlatform::QueryText(KeyToken key, const std::wstring& name) {
  calls.push_back("RegQueryValueEx");
  if (Fails()) return {false, {}, static_cast<Status>(fault_)};
  auto k = openKeyNames_.find(key);
  if (k == openKeyNames_.end()) return {false, {}, 6};
  auto v = registryValues.find(k->second + L"|" + name);
  if (v == registryValues.end()) return {false, {}, 2};
  const auto kind = registryValueTypes.find(v->first);
  const std::uint32_t type = kind == registryValueTypes.end() ? 1 : kind->second;
  if (type != 1 && type != 2) return {false, {}, 1630};  // ERROR_UNSUPPORTED_TYPE
  // Stored as REG_SZ is, the characters and a null, read into 520 bytes; a text that
  // fills them is refused.
  if ((v->second.size() + 1) * sizeof(wchar_t) >= 520) return {false, {}, 234};
  return {true, {v->second, type == 2}, 0};
}

// ---- Services ----------------------------------------------------------------------
ServiceToken FakePlatform::OpenManager(std::uint32_t access) {
  calls.push_back("OpenSCManager");
  if (Fails()) return {};
  serviceAccesses.push_back(access);
  return serviceManagerFails ? ServiceToken{} : OpenHandle<ServiceToken>("service");
}

ServiceToken FakePlatform::OpenService(ServiceToken, const std::wstring& name, std::uint32_t access) {
  calls.push_back("OpenService");
  if (Fails()) return {};
  serviceAccesses.push_back(access);
  return services.count(name) ? OpenHandle<ServiceToken>("service") : ServiceToken{};
}

void FakePlatform::CloseService(ServiceToken handle) {
  calls.push_back("CloseServiceHandle");
  CloseHandleOf(handle, "service");
}

// ---- Threads -------------------------------------------------------------------------
ThreadToken FakePlatform::StartThread(std::shared_ptr<ThreadBody> body) {
  calls.push_back("CreateThread");
  if (Fails()) return {};
  if (threadStartFails) return {};
  startedThreads.push_back(std::move(body));
  return OpenHandle<ThreadToken>("thread");
}

bool FakePlatform::WaitThread(ThreadToken, std::uint32_t milliseconds) {
  calls.push_back("WaitForSingleObject");
  if (Fails()) return false;
  threadWaits.push_back(milliseconds);
  return threadEndsInTime;
}

void FakePlatform::CloseThread(ThreadToken thread) {
  calls.push_back("CloseThreadHandle");
  CloseHandleOf(thread, "thread");
}

std::uint32_t FakePlatform::RunLastThread(FakeDialog& dialog) {
  const std::size_t from = posted.size();
  const std::uint32_t exitCode = startedThreads.back()->Run();
  for (std::size_t i = from; i < posted.size(); ++i) dialog.Send(posted[i].message, posted[i].wParam);
  return exitCode;
}

// ---- Network ---------------------------------------------------------------------------
InternetToken FakePlatform::OpenSession(const std::wstring& agent, std::uint32_t accessType) {
  calls.push_back("InternetOpen");
  if (Fails()) return {};
  sessions.push_back({agent, accessType});
  return sessionFails ? InternetToken{} : OpenHandle<InternetToken>("internet");
}

InternetToken FakePlatform::OpenUrl(InternetToken, const std::wstring& url, std::uint32_t flags) {
  calls.push_back("InternetOpenUrl");
  if (Fails()) return {};
  urlsOpened.push_back({url, flags});
  nextChunk_ = 0;
  reads_ = 0;
  return urlFails ? InternetToken{} : OpenHandle<InternetToken>("internet");
}

Read<std::wstring> FakePlatform::QueryHeader(InternetToken, std::uint32_t infoLevel) {
  calls.push_back("HttpQueryInfo");
  if (Fails()) return {};
  headerQueries.push_back(infoLevel);
  // Not there (ERROR_HTTP_HEADER_NOT_FOUND), or with its null more than 520 bytes.
  if (!contentDisposition || (contentDisposition->size() + 1) * sizeof(wchar_t) > 520) return {};
  return {true, *contentDisposition, 0};
}

bool FakePlatform::ReadData(InternetToken, void* buffer, std::uint32_t size, std::uint32_t* read) {
  calls.push_back("InternetReadFile");
  readSizes.push_back(size);
  if (onRead) onRead();
  *read = 0;
  if (Fails()) return false;  // nothing read
  if (readsBeforeFailure >= 0 && reads_ >= readsBeforeFailure) return false;
  ++reads_;
  if (nextChunk_ >= bodyChunks.size()) return true;
  const std::string& chunk = bodyChunks[nextChunk_++];
  std::uint32_t n = static_cast<std::uint32_t>(std::min<std::size_t>(chunk.size(), size));
  std::copy(chunk.data(), chunk.data() + n, static_cast<char*>(buffer));
  *read = n;
  return true;
}

void FakePlatform::CloseInternetHandle(InternetToken handle) {
  calls.push_back("InternetCloseHandle");
  CloseHandleOf(handle, "internet");
}

// ---- Trust -------------------------------------------------------------------------------
TrustVerdict FakePlatform::VerifyFile(const std::wstring& path) {
  calls.push_back("WinVerifyTrust");
  if (Fails()) return {static_cast<std::int32_t>(fault_), {}};
  verifiedPaths.push_back(path);
  auto it = trustResults.find(path);
  return {it == trustResults.end() ? 0 : it->second, signer};
}

// ---- Libraries -----------------------------------------------------------------------------
LibraryToken FakePlatform::LoadLibrary(const std::wstring& name) {
  calls.push_back("LoadLibrary");
  if (Fails()) return {};
  loadedLibraries.push_back(name);
  if (!libraries.count(name)) return {};
  const LibraryToken library = OpenHandle<LibraryToken>("library");
  openLibraryNames_[library] = name;
  return library;
}

std::optional<std::int32_t> FakePlatform::CallExport(LibraryToken library, const char*) {
  calls.push_back("GetProcAddress");
  if (Fails()) return std::nullopt;
  auto it = openLibraryNames_.find(library);
  if (it == openLibraryNames_.end()) return std::nullopt;
  std::optional<std::int32_t> result = libraries[it->second];
  if (result) ++exportCalls;
  return result;
}

void FakePlatform::FreeLibrary(LibraryToken library) {
  calls.push_back("FreeLibrary");
  auto it = openLibraryNames_.find(library);
  if (it != openLibraryNames_.end()) freedLibraries.push_back(it->second);
  if (CloseHandleOf(library, "library")) openLibraryNames_.erase(library);
}

}  // namespace korvana::testing
