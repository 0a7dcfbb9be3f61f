#include "browser_offer/download_folder.h"

#include <cstdint>
#include <optional>

#include "support/log_event.h"
#include "support/text.h"

namespace korvana {
namespace {

// The own log's lines on the folder: "browser folder: <path>" once made; "... error
// <N>" when it could not be made, "... none" when it could not even be named; "...
// left, error <N>" when it could not be removed (so neither could a file in it).
constexpr wchar_t kEvent[] = L"browser folder: ";

}  // namespace

bool DownloadFolder::Create() {
  const Read<std::wstring> windows = platform_.files.GetWindowsDirectory();
  std::uint8_t random[kDownloadFolderRandomBytes] = {};
  if (!windows.ok || windows.value.empty() || !platform_.files.FillRandom(random, sizeof random)) {
    LogEvent(platform_, {kEvent, L"none"});
    return false;
  }
  std::wstring path = windows.value;
  if (path.back() != L'\\') path += L'\\';
  path += L"Temp\\korvana-";
  static const wchar_t kDigits[] = L"0123456789abcdef";
  for (std::uint8_t byte : random) {
    path += kDigits[byte >> 4];
    path += kDigits[byte & 0xF];
  }
  const Status status = platform_.files.CreateSecuredFolder(path, kDownloadFolderSecurity);
  if (status != 0) {
    LogEvent(platform_, {kEvent, L"error ", ToDecimal(status)});
    return false;
  }
  path_ = path;
  LogEvent(platform_, {kEvent, path_});
  return true;
}

void DownloadFolder::Remove() {
  if (path_.empty()) return;
  if (!file.empty()) platform_.files.DeleteFile(file);
  file.clear();
  const Status status = platform_.files.RemoveFolder(path_);
  if (status != 0) LogEvent(platform_, {kEvent, L"left, error ", ToDecimal(status)});
  path_.clear();
}

}  // namespace korvana
