#include "support/paths.h"

namespace korvana {

std::wstring FileNameOf(const std::wstring& path) {
  return path.substr(path.rfind(L'\\') + 1);  // npos + 1 is 0: the whole path
}

std::wstring FolderOf(const std::wstring& path) {
  const std::size_t cut = path.rfind(L'\\');
  return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut + 1);
}

bool IsFullPath(const std::wstring& path) {
  if (path.size() >= 3 && path[1] == L':' && IsSeparator(path[2])) return true;
  return path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
}

std::size_t RootLength(const std::wstring& path) {
  const auto isLetter = [](wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); };
  if (path.size() >= 3 && isLetter(path[0]) && path[1] == L':' && IsSeparator(path[2])) return 3;
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    const std::size_t server = path.find_first_of(L"\\/", 2);
    if (server == std::wstring::npos || server == 2) return 0;
    const std::size_t share = path.find_first_of(L"\\/", server + 1);
    if (share == server + 1) return 0;
    return share == std::wstring::npos ? path.size() : share + 1;
  }
  return 0;
}

bool HasParentPart(const std::wstring& path) {
  std::size_t start = 0;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && !IsSeparator(path[i])) continue;
    if (path.compare(start, i - start, L"..") == 0) return true;
    start = i + 1;
  }
  return false;
}

}  // namespace korvana
