#include "packages/package_locator.h"

#include "platform/win_constants.h"
#include "support/paths.h"
#include "support/log_event.h"
#include "support/text.h"

namespace korvana {
namespace {

const wchar_t kArm64Word[] = L"*arm64*";
const wchar_t kRussianWord[] = L"*rus*";
const wchar_t kEnglishWord[] = L"*eng*";
const wchar_t kAnyPackage[] = L"*.msi";

// The first file that `pattern` matches, in file-system order. Never a folder: a
// folder named like a package (say "sivetcom_x64\") is no package, and taking it
// would ask the questions and reset the installed product's sources before msiexec
// fails on it.
std::optional<std::wstring> FirstFile(FileSystem& files, const std::wstring& pattern) {
  for (const FolderEntry& entry : files.ListEntries(pattern))
    if (!entry.directory) return entry.name;
  return std::nullopt;
}

}  // namespace

Status PackageLocator::FindPackage(const std::wstring& pattern, std::wstring& path) {
  FileSystem& files = platform_.files;
  const std::wstring folder = FolderOf(files.ModulePath());

  // A match beside the executable wins, whatever its subfolders hold.
  if (std::optional<std::wstring> name = FirstFile(files, folder + pattern)) {
    path = folder + *name;
    LogEvent(platform_, {L"found ", path});
    return win::ERROR_SUCCESS;
  }

  // Then one level down, in the order the file system lists the folder. Names that
  // begin with a dot ("." and ".." among them) are never searched.
  for (const FolderEntry& entry : files.ListEntries(folder + L"*")) {
    if (!entry.directory || entry.name.empty() || entry.name[0] == L'.') continue;
    const std::wstring subfolder = folder + entry.name + L"\\";
    if (std::optional<std::wstring> name = FirstFile(files, subfolder + pattern)) {
      path = subfolder + *name;
      LogEvent(platform_, {L"found ", path});
      return win::ERROR_SUCCESS;
    }
  }
  LogEvent(platform_, {L"nothing matches ", folder, pattern});
  return win::ERROR_NO_DATA;
}

// A system that cannot tell counts as 32-bit.
const wchar_t* PackageLocator::ArchitectureWord() {
  return platform_.system.IsWow64().value_or(false) ? L"x64" : L"win32";
}

std::wstring PackageLocator::ArchitecturePattern() {
  return std::wstring(L"*").append(ArchitectureWord()).append(L"*");
}

std::wstring PackageLocator::Arm64Pattern() {
  const std::optional<std::uint16_t> nativeMachine = platform_.system.NativeMachine();
  return nativeMachine == win::IMAGE_FILE_MACHINE_ARM64 ? kArm64Word : L"";
}

std::wstring PackageLocator::LanguagePattern() {
  return IsRussianRussia(platform_.system.GetUserDefaultUILanguage()) ? kRussianWord : kEnglishWord;
}

Status PackageLocator::IdentitySearch(std::wstring& path) {
  const std::wstring plans[] = {ArchitecturePattern() + kAnyPackage, kAnyPackage};
  for (const std::wstring& pattern : plans) {
    if (FindPackage(pattern, path) == win::ERROR_SUCCESS) return win::ERROR_SUCCESS;
  }
  return win::ERROR_NO_DATA;
}

Status PackageLocator::VersionSearch(const std::wstring& suffix, std::wstring& path) {
  // Each probe runs once, in this order, whatever the search finds.
  const std::wstring language = LanguagePattern();
  const std::wstring architecture = ArchitecturePattern();
  const std::wstring arm64 = Arm64Pattern();

  std::vector<std::wstring> plans;
  if (!arm64.empty()) plans.push_back(arm64 + language + suffix);
  plans.push_back(architecture + language + suffix);
  if (!arm64.empty()) plans.push_back(arm64 + suffix);
  plans.push_back(architecture + suffix);
  plans.push_back(suffix);

  for (const std::wstring& pattern : plans) {
    if (FindPackage(pattern, path) == win::ERROR_SUCCESS) return win::ERROR_SUCCESS;
  }
  return win::ERROR_NO_DATA;
}

}  // namespace korvana
