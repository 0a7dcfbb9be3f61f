#include "browser_offer/download_folder.h"

#include <cstdint>
#include <optional>

#include "support/log_event.h"
#include "support/text.h"

namespace korvana {

bool DownloadFolder::Create() {
  const std::optional<std::wstring> windows = platform_.files.GetWindowsDirectory();
  if (!windows || windows->empty()) {
    LogEvent(platform_, {L"browser folder: no Windows folder"});
    return false;
  }
  std::uint8_t random[kDownloadFolderRandomBytes] = {};
  if (!platform_.files.FillRandom(random, sizeof random)) {
    LogEvent(platform_, {L"browser folder: no random name"});
    return false;
  }
  std::wstring path = *windows;
  if (path.back() != L'\\') path += L'\\';
  path += L"Temp\\korvana-";
  static const wchar_t kDigits[] = L"0123456789abcdef";
  for (std::uint8_t byte : random) {
    path += kDigits[byte >> 4];
    path += kDigits[byte & 0xF];
  }
  const Status status = platform_.files.CreateSecuredFolder(path, kDownloadFolderSecurity);
  if (status != 0) {
    LogEvent(platform_, {L"browser folder: error ", ToDecimal(status)});
    return false;
  }
  path_ = path;
  LogEvent(platform_, {L"browser folder: ", path_});
  return true;
}

void DownloadFolder::Remove() {
  if (path_.empty()) return;
  if (!file.empty() && !platform_.files.DeleteFile(file))
    LogEvent(platform_, {L"browser folder: cannot delete ", file});
  file.clear();
  const Status status = platform_.files.RemoveFolder(path_);
  if (status != 0) LogEvent(platform_, {L"browser folder: not removed, error ", ToDecimal(status)});
  path_.clear();
}

}  // namespace korvana
