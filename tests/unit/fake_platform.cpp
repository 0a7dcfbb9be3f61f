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

bool SameName(const std::wstring& a, const std::wstring& b) { return Lower(a) == Lower(b); }

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

// A text read into a buffer ends at its first null, as the Win32 side reads it.
std::wstring UpToNull(const std::wstring& text) { return text.substr(0, text.find(L'\0')); }

}  // namespace

// ---- Seam ------------------------------------------------------------------------
bool Seam::LastFails() {
  if (callLimit != 0 && calls.size() > callLimit && !limitHit_) {
    limitHit_ = true;  // once: the way out may still call in
    throw CallLimitExceeded{};
  }
  if (!failAt || calls.size() != *failAt + 1) return false;
  fault = failure ? failure(calls.back()) : 0;
  return true;
}

bool Seam::CloseHandleValue(std::uintptr_t token, const std::string& kind) {
  auto it = openHandles.find(token);
  if (it == openHandles.end() || it->second != kind) {
    handleFaults.push_back("closed a " + kind + " handle that was not open");
    return false;
  }
  openHandles.erase(it);
  return true;
}

int Seam::OpenCount(const std::string& kind) const {
  return static_cast<int>(std::count_if(openHandles.begin(), openHandles.end(),
                                        [&](const auto& h) { return h.second == kind; }));
}

int Seam::Count(const std::string& call) const {
  return static_cast<int>(std::count(calls.begin(), calls.end(), call));
}

FakePlatform::FakePlatform()
    : platform_{ui,        catalog_,  system,      commandLine, files,     environment,
                registry,  msi,       processes,   processes,   clock,     clock,
                services,  threads,   network,     trust,       libraries, log} {}

std::uint32_t FakePlatform::RunLastThread(FakeDialog& dialog) {
  const std::size_t from = ui.posted.size();
  const std::uint32_t exitCode = threads.started.back()->Run();
  for (std::size_t i = from; i < ui.posted.size(); ++i)
    dialog.Send(ui.posted[i].message, ui.posted[i].wParam);
  return exitCode;
}

// ---- UserInterface ---------------------------------------------------------------
int FakeUserInterface::ShowMessageBox(Owner owner, const std::wstring& text,
                                      const std::wstring& caption, std::uint32_t style) {
  if (Fails("MessageBox")) return static_cast<int>(seam_.fault);
  boxes.push_back({owner, text, caption, style});
  if (!boxAnswers.empty()) {
    int answer = boxAnswers.front();
    boxAnswers.pop_front();
    return answer;
  }
  return (style & 0xF) == 4 ? kYes : kOk;
}

std::intptr_t FakeUserInterface::ShowDialog(std::uint16_t templateId, Owner owner, DialogLogic& logic) {
  if (Fails("DialogBoxParam")) return -1;
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
    dialog.Press(kOk);
  }
  dialog.Send(0x0002);  // WM_DESTROY: DialogBoxParamW destroys the window before it returns
  return dialog.endedWith.value_or(0);
}

// ---- SystemProbes ----------------------------------------------------------------
std::optional<bool> FakeSystem::IsWow64() {
  if (!isWow64Export_) {
    if (Fails("GetProcAddress:IsWow64Process")) return std::nullopt;
    ++kernel32Lookups;
    if (!kernel32Loaded) return std::nullopt;
    isWow64Export_ = hasIsWow64Process;
  }
  if (!*isWow64Export_ || Fails("IsWow64Process")) return std::nullopt;
  return isWow64;
}

// ---- CommandLine -----------------------------------------------------------------
std::optional<std::vector<std::wstring>> FakeCommandLine::Split(const std::wstring& commandLine) {
  if (Fails("CommandLineToArgv")) return std::nullopt;
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
bool FakeFileSystem::Matches(const std::wstring& pattern, const std::wstring& name) {
  return MatchFrom(pattern, 0, name, 0);
}

std::vector<FolderEntry>::iterator FakeFileSystem::Find(const std::wstring& path, bool folder) {
  return std::find_if(entries.begin(), entries.end(), [&](const FolderEntry& e) {
    return (!folder || e.directory) && SameName(e.name, path);
  });
}

std::vector<FolderEntry> FakeFileSystem::ListEntries(const std::wstring& pattern) {
  if (Fails("ListEntries")) return {};
  searches.push_back(pattern);
  auto [folder, namePattern] = SplitFolder(pattern);
  std::vector<FolderEntry> out;
  bool folderExists = folder.empty() || folder.size() == 3;  // a drive root always exists
  // A folder exists when it is declared or when something lies in it.
  for (const auto& e : entries) {
    if (e.directory && SameName(e.name + L"\\", folder)) folderExists = true;
    if (SameName(SplitFolder(e.name).first, folder)) folderExists = true;
  }
  if (!folderExists) return out;
  if (folder.size() != 3) {  // a root has no "." and ".."
    out.push_back({L".", true});
    out.push_back({L"..", true});
  }
  for (const auto& e : entries) {
    auto [entryFolder, name] = SplitFolder(e.name);
    if (SameName(entryFolder, folder) && Matches(namePattern, name)) out.push_back({name, e.directory});
  }
  return out;
}

bool FakeFileSystem::DeleteFile(const std::wstring& path) {
  if (Fails("DeleteFile")) return false;
  deletedFiles.push_back(path);
  if (fileContents.count(path)) {  // a file the program wrote
    for (const auto& open : openFilePaths_)
      if (open.second == path) return false;  // ERROR_SHARING_VIOLATION: still open
    fileContents.erase(path);
    return true;
  }
  auto it = Find(path);
  if (it == entries.end()) return false;
  entries.erase(it);
  return true;
}

Status FakeFileSystem::CreateFolder(const std::wstring& path) {
  if (Fails("CreateDirectory") || failingCreates.count(path) != 0) return seam_.fault != 0 ? Fault() : 5;
  foldersCreated.push_back(path);
  if (Listed(path)) return 183;  // ERROR_ALREADY_EXISTS
  AddFolder(path);
  return 0;
}

FileToken FakeFileSystem::CreateFile(const std::wstring& path, std::uint32_t access,
                                     std::uint32_t share, std::uint32_t disposition,
                                     std::uint32_t attributes, Status* error) {
  const auto failed = [error](Status code) {
    if (error != nullptr) *error = code;
    return FileToken{};
  };
  if (Fails("CreateFile")) return failed(Fault());
  createdFiles.push_back({path, access, share, disposition, attributes});
  if (failingCreates.count(path)) return failed(5);  // ERROR_ACCESS_DENIED
  if (disposition == 3 && lockedFiles.count(path)) return failed(32);  // ERROR_SHARING_VIOLATION
  if (disposition == 1 && fileContents.count(path)) return failed(80);  // ERROR_FILE_EXISTS
  const auto listed = std::find_if(entries.begin(), entries.end(), [&](const FolderEntry& e) {
    return !e.directory && SameName(e.name, path);
  });
  if (disposition == 3 && !fileContents.count(path) && listed == entries.end())
    return failed(2);  // ERROR_FILE_NOT_FOUND
  if (disposition == 2) fileContents[path].clear();  // CREATE_ALWAYS
  if (disposition == 1) fileContents[path];           // CREATE_NEW: the file exists, empty
  const FileToken file = seam_.OpenHandle<FileToken>("file");
  openFilePaths_[file] = path;
  return file;
}

bool FakeFileSystem::WriteFile(FileToken file, const void* data, std::uint32_t size) {
  if (Fails("WriteFile")) return false;
  auto it = openFilePaths_.find(file);
  if (it == openFilePaths_.end()) return false;
  if (writesBeforeFailure >= 0 && writes_ >= writesBeforeFailure) return false;
  ++writes_;
  fileContents[it->second].append(static_cast<const char*>(data), size);
  return true;
}

Status FakeFileSystem::CreateSecuredFolder(const std::wstring& path, const std::wstring& sddl) {
  if (Fails("CreateDirectory")) return Fault();
  createdFolders.push_back({path, sddl});
  if (createFolderStatus != 0) return createFolderStatus;
  if (Listed(path)) return 183;  // ERROR_ALREADY_EXISTS
  AddFolder(path);
  return 0;
}

Status FakeFileSystem::RemoveFolder(const std::wstring& path) {
  if (Fails("RemoveDirectory")) return Fault();
  auto folder = Find(path, true);
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

// ---- Environment -----------------------------------------------------------------
Read<std::wstring> FakeEnvironment::GetVariable(const std::wstring& name) {
  if (Fails("GetEnvironmentVariable")) return Failed();
  reads.push_back(name);
  auto it = variables.find(name);
  if (it == variables.end()) return {false, L"", 203};
  if (it->second.empty()) return {false, L"", 0};  // set but empty: no error of its own
  return {true, it->second, 0};
}

Read<std::wstring> FakeEnvironment::Expand(const std::wstring& text) {
  if (Fails("ExpandEnvironmentStrings")) return Failed();
  // %NAME% from the environment; unknown names stay as they stand, as Windows leaves them.
  std::wstring out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::size_t end = text[i] == L'%' ? text.find(L'%', i + 1) : std::wstring::npos;
    const auto known = end == std::wstring::npos ? variables.end()
                                                  : variables.find(text.substr(i + 1, end - i - 1));
    if (known == variables.end()) {
      out += text[i];
      continue;
    }
    out += known->second;
    i = end;
  }
  return {true, out, 0};
}

// ---- Registry --------------------------------------------------------------------
Status FakeRegistry::OpenNamed(const std::wstring& name, std::uint32_t access, KeyToken* key, bool create) {
  operations.push_back({create ? "create" : "open", name, access, ""});
  if (failingOpens.count(name)) return 5;
  if (create) keys.insert(name);
  if (!keys.count(name)) return 2;
  *key = static_cast<KeyToken>(nextKey_++);
  openKeyNames_[*key] = name;
  ++openKeys;
  return 0;
}

Read<RegistryText> FakeRegistry::QueryText(KeyToken key, const std::wstring& name) {
  if (Fails("RegQueryValueEx")) return {false, {}, Fault()};
  auto k = openKeyNames_.find(key);
  if (k == openKeyNames_.end()) return {false, {}, 6};
  auto v = values.find(k->second + L"|" + name);
  if (v == values.end()) return {false, {}, 2};
  const auto kind = valueTypes.find(v->first);
  const std::uint32_t type = kind == valueTypes.end() ? 1 : kind->second;
  if (type != 1 && type != 2) return {false, {}, 1630};  // ERROR_UNSUPPORTED_TYPE
  // Stored as REG_SZ is, the characters and a null, read into 520 bytes; a text that
  // fills them is refused.
  if ((v->second.size() + 1) * sizeof(wchar_t) >= 520) return {false, {}, 234};
  return {true, {v->second, type == 2}, 0};
}

Status FakeRegistry::DeleteSubKey(KeyToken parent, const std::wstring& name) {
  // RegDeleteKeyExW where the local registry API set is loaded (a failed look counts as
  // not loaded), else RegDeleteKeyW.
  const bool apiSet =
      !Fails("GetModuleHandle") && loadedModules_.count(L"API-MS-Win-Core-LocalRegistry-L1-1-0.dll");
  const std::string route = apiSet ? "RegDeleteKeyExW" : "RegDeleteKeyW";
  if (Fails(route)) return Fault();
  auto it = openKeyNames_.find(parent);
  if (it == openKeyNames_.end()) return 6;
  std::wstring full = it->second + L"\\" + name;
  operations.push_back({"delete", full, 0, route});
  return keys.erase(full) ? 0 : 2;
}

// ---- WindowsInstaller ------------------------------------------------------------
Status FakeWindowsInstaller::OpenPackageEx(const std::wstring& path, std::uint32_t options,
                                           MsiToken* handle) {
  if (Fails("MsiOpenPackageEx")) return Fault();
  if (options != 1) return 87;
  auto it = packages.find(path);
  if (it == packages.end()) return 1619;  // ERROR_INSTALL_PACKAGE_OPEN_FAILED
  if (it->second.openStatus != 0) return it->second.openStatus;
  *handle = static_cast<MsiToken>(nextHandle_++);
  openPackages_[*handle] = path;
  ++handlesOpened;
  return 0;
}

Read<std::wstring> FakeWindowsInstaller::GetProperty(MsiToken handle, const std::wstring& name) {
  const auto failing = failingProperties.find(name);
  if (failing != failingProperties.end()) {
    Record("MsiGetProperty");
    return {false, L"", failing->second};
  }
  if (Fails("MsiGetProperty")) return Failed();  // the length
  auto open = openPackages_.find(handle);
  if (open == openPackages_.end()) return {false, L"", 6};
  const auto& props = packages[open->second].properties;
  auto it = props.find(name);
  if (Fails("MsiGetProperty")) return Failed();  // the value
  // Windows Installer answers an undefined property with an empty value.
  if (it == props.end()) return {true, L"", 0};
  return {true, UpToNull(it->second), 0};
}

Read<std::wstring> FakeWindowsInstaller::EnumRelatedProducts(const std::wstring& upgradeCode,
                                                             std::uint32_t index) {
  if (Fails("MsiEnumRelatedProducts")) return Failed();
  std::uint32_t seen = 0;
  for (const auto& p : products) {
    if (p.upgradeCode == upgradeCode && seen++ == index) return {true, p.productCode.substr(0, 38), 0};
  }
  return {false, L"", 259};
}

// Once the installer has run, the product asked about is the one just installed.
bool FakeWindowsInstaller::ProductInstalled() const {
  return std::any_of(processes_.commandLines.begin(), processes_.commandLines.end(),
                     [](const std::wstring& c) { return c.find(L"msiexec.exe") != std::wstring::npos; });
}

const FakeProduct* FakeWindowsInstaller::Product(const std::wstring& code) const {
  for (const auto& p : products)
    if (p.productCode == code) return &p;
  return nullptr;
}

// A read of the product's property; `injected`, when not 0, fails a known property.
Read<std::wstring> FakeWindowsInstaller::ProductProperty(const std::wstring& product,
                                                         const std::wstring& property,
                                                         Status injected) const {
  if (property != L"VersionString" && property != L"InstalledProductName")
    return {false, L"", 1608};  // ERROR_UNKNOWN_PROPERTY
  if (injected) return {false, L"", injected};
  const FakeProduct* p = Product(product);
  if (!p) return {false, L"", 1605};  // ERROR_UNKNOWN_PRODUCT
  return {true, UpToNull(property == L"VersionString" ? p->versionString : p->name), 0};
}

SizedRead FakeWindowsInstaller::GetProductInfo(const std::wstring& product, const std::wstring& property) {
  const bool installed = ProductInstalled();
  if (Fails(installed ? "MsiGetProductInfo:installed" : "MsiGetProductInfo:length")) return {Failed(), false};
  const Read<std::wstring> length = ProductProperty(product, property, productInfoLengthStatus);
  if (!length.ok) return {length, false};
  if (Fails(installed ? "MsiGetProductInfo:installed" : "MsiGetProductInfo:value")) return {Failed(), true};
  return {ProductProperty(product, property, productInfoValueStatus), true};
}

Read<std::wstring> FakeWindowsInstaller::GetProductInfoUpTo(const std::wstring& product,
                                                            const std::wstring& property,
                                                            std::uint32_t maxCharacters) {
  if (Fails(ProductInstalled() ? "MsiGetProductInfo:installed" : "MsiGetProductInfo:value")) return Failed();
  const Read<std::wstring> read = ProductProperty(product, property, productInfoValueStatus);
  if (read.ok && read.value.size() > maxCharacters) return {false, L"", 234};  // ERROR_MORE_DATA
  return read;
}

// ---- Processes and PowerControl --------------------------------------------------
MutexClaim FakeProcesses::ClaimMutex(const std::wstring& name, const std::wstring& sddl,
                                     std::wstring* owner, Status* error) {
  if (Fails("CreateMutex")) {
    *error = Fault();
    return MutexClaim::Failed;
  }
  claimedMutexes.push_back(name + L" " + sddl);
  if (mutexClaim == MutexClaim::Failed) *error = 5;  // ERROR_ACCESS_DENIED
  if (mutexClaim != MutexClaim::Created && mutexClaim != MutexClaim::Failed) *owner = mutexOwner;
  return mutexClaim;
}

// ---- Network ---------------------------------------------------------------------
bool FakeNetwork::ReadData(InternetToken, void* buffer, std::uint32_t size, std::uint32_t* read) {
  Record("InternetReadFile");
  readSizes.push_back(size);
  if (onRead) onRead();
  *read = 0;
  if (seam_.LastFails()) return false;  // nothing read
  if (readsBeforeFailure >= 0 && reads_ >= readsBeforeFailure) return false;
  ++reads_;
  if (nextChunk_ >= bodyChunks.size()) return true;
  const std::string& chunk = bodyChunks[nextChunk_++];
  std::uint32_t n = static_cast<std::uint32_t>(std::min<std::size_t>(chunk.size(), size));
  std::copy(chunk.data(), chunk.data() + n, static_cast<char*>(buffer));
  *read = n;
  return true;
}

// ---- Libraries -------------------------------------------------------------------
LibraryToken FakeLibraries::LoadLibrary(const std::wstring& name) {
  if (Fails("LoadLibrary")) return {};
  loaded.push_back(name);
  if (!loadable.count(name)) return {};
  const LibraryToken library = seam_.OpenHandle<LibraryToken>("library");
  openNames_[library] = name;
  return library;
}

std::optional<std::int32_t> FakeLibraries::CallExport(LibraryToken library, const char*) {
  if (Fails("GetProcAddress")) return std::nullopt;
  auto it = openNames_.find(library);
  if (it == openNames_.end()) return std::nullopt;
  std::optional<std::int32_t> result = loadable[it->second];
  if (result) ++exportCalls;
  return result;
}

// ---- Log -------------------------------------------------------------------------
Status FakeLog::Create(const std::wstring& path) {
  if (Fails("CreateLogFile")) return seam_.fault != 0 ? Fault() : 5;
  creates.push_back(path);
  const auto error = createErrors.find(path);
  if (error != createErrors.end()) return error->second;
  file = path;
  linesBeforeFile = lines.size();
  return 0;
}

}  // namespace korvana::testing
