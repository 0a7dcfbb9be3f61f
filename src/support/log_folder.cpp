#include "support/log_folder.h"

#include "platform/win_constants.h"
#include "support/text.h"

namespace korvana {
namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }
bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// Where the part of a full path that can be created begins: behind "X:\", or behind
// "\\server\share\"; 0 for a path that is not full.
std::size_t RootLength(const std::wstring& path) {
  if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == L':' && IsSeparator(path[2])) return 3;
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    const std::size_t server = path.find_first_of(L"\\/", 2);
    if (server == std::wstring::npos || server == 2) return 0;
    const std::size_t share = path.find_first_of(L"\\/", server + 1);
    if (share == server + 1) return 0;
    return share == std::wstring::npos ? path.size() : share + 1;
  }
  return 0;
}

// Names tried for the own log before the run gives up on it.
constexpr unsigned kOwnLogNames = 100;

}  // namespace

bool IsUsableLogFolder(const std::wstring& folder) {
  return RootLength(folder) != 0 && folder.find(L'"') == std::wstring::npos;
}

Status FullLogFolder(Platform& platform, const std::wstring& given, std::wstring& full) {
  if (given.find(L'"') != std::wstring::npos) return win::ERROR_BAD_PATHNAME;
  if (RootLength(given) != 0) {
    full = given;
    return 0;
  }
  // Rooted on the current drive, or relative to another drive's current directory:
  // neither names one folder for certain.
  if (given.empty() || IsSeparator(given[0]) || (given.size() >= 2 && given[1] == L':'))
    return win::ERROR_BAD_PATHNAME;
  const Read<std::wstring> current = platform.files.GetCurrentDirectory();
  if (!current.ok) return current.status != 0 ? current.status : win::ERROR_BAD_PATHNAME;
  full = current.value;
  if (full.empty() || !IsSeparator(full.back())) full += L'\\';
  full += given;
  return IsUsableLogFolder(full) ? 0 : win::ERROR_BAD_PATHNAME;
}

Status CreateFolderTree(Platform& platform, const std::wstring& folder) {
  const std::size_t root = RootLength(folder);
  if (root == 0) return win::ERROR_BAD_PATHNAME;
  for (std::size_t end = root; end <= folder.size(); ++end) {
    if (end != folder.size() && !IsSeparator(folder[end])) continue;
    if (end == root || IsSeparator(folder[end - 1])) continue;  // doubled separator, root
    const std::wstring part = folder.substr(0, end);
    const Status made = platform.files.CreateFolder(part);
    // A part that exists, however the create saw it (a protected parent may answer
    // "access denied"), is a part to go on from; a file there fails at the log's create.
    if (made != 0 && made != win::ERROR_ALREADY_EXISTS && !platform.files.Exists(part)) return made;
  }
  return 0;
}

Status CreateOwnLog(Platform& platform, const std::wstring& folder, const std::wstring& stamp,
                    std::wstring& path) {
  std::wstring base = folder;
  if (base.empty() || !IsSeparator(base.back())) base += L'\\';
  base.append(L"korvana-setup_").append(stamp);
  Status created = win::ERROR_FILE_EXISTS;
  for (unsigned n = 1; n <= kOwnLogNames; ++n) {
    path = base;
    if (n > 1) path.append(L"_").append(ToDecimal(n));
    path.append(L".log");
    created = platform.log.Create(path);
    if (created != win::ERROR_FILE_EXISTS && created != win::ERROR_ALREADY_EXISTS) break;
  }
  return created;
}

}  // namespace korvana
