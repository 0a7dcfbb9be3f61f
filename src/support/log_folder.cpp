#include "support/log_folder.h"

#include "platform/win_constants.h"
#include "resources/text_ids.h"
#include "support/log_event.h"
#include "support/paths.h"
#include "support/text.h"

namespace korvana {
namespace {

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

std::wstring MakeAndPrintTimeStamp(Platform& platform) {
  const std::wstring stamp = FormatTimeStamp(platform.clock.Now());
  // Seen only when whoever started us redirected standard output; a lost line is fine.
  platform.output.WriteLine(stamp);
  return stamp;
}

Status BuildLogPath(Platform& platform, const SetupOptions& options, const Boxes& boxes,
                    const std::wstring& prefix, std::wstring& logPath) {
  std::wstring folder = options.logDir;
  if (folder.empty()) {
    const Read<std::wstring> tmp = platform.environment.GetVariable(L"TMP");
    if (!tmp.ok) {
      // An unset TMP reports ERROR_ENVVAR_NOT_FOUND. A TMP that is set but empty also
      // reads as nothing, yet sets no error code of its own; it is the same trouble for
      // us (no folder to put the log in), so it gets the same code rather than a 0 that
      // the caller would take for success.
      const Status error = tmp.status != 0 ? tmp.status : win::ERROR_ENVVAR_NOT_FOUND;
      LogEvent(platform, {L"TMP: error ", ToDecimal(error)});
      boxes.ShowText(text::kEnvironmentUnreadable, kErrorLook);
      return error;
    }
    // The run has refused such a TMP at its start, with its box; here it only must
    // never reach a command line.
    if (!IsUsableLogFolder(tmp.value)) return win::ERROR_BAD_PATHNAME;
    folder = tmp.value;
  }
  // The backslash goes in even when the folder already ends with one; Windows reads the
  // doubled separator as one.
  logPath = folder;
  logPath.append(L"\\").append(prefix).append(L"_").append(MakeAndPrintTimeStamp(platform)).append(L".log");
  return 0;
}

}  // namespace korvana
