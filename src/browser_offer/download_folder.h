// The folder a browser installer is downloaded into: made for that one download, with
// a name nobody can guess, open to administrators and SYSTEM only, and removed again
// with the installer in it.
#pragma once

#include <string>

#include "platform/platform.h"

namespace korvana {

// Full control for Administrators and SYSTEM, inherited by every file in the folder;
// nothing for anyone else, and nothing inherited from the Temp folder above
// (protected), where every user may create folders and files. No other process can
// then add, rename, replace or delete anything in it: not a DLL beside the installer,
// which looks in its own folder first, nor another installer in its place.
inline constexpr wchar_t kDownloadFolderSecurity[] = L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";

// The random part of the folder's name: 16 bytes, 32 hex digits.
inline constexpr std::uint32_t kDownloadFolderRandomBytes = 16;

class DownloadFolder {
 public:
  explicit DownloadFolder(Platform& platform) : platform_(platform) {}
  DownloadFolder(const DownloadFolder&) = delete;
  DownloadFolder& operator=(const DownloadFolder&) = delete;
  ~DownloadFolder() { Remove(); }

  // Makes <Windows folder>\Temp\korvana-<32 random hex digits>, new: anything already
  // there by that name (a folder, a file, a link someone placed) is refused, never
  // reused. The Windows folder's Temp rather than %TMP%: an elevated administrator's
  // TMP lies in a profile whose owner may rename what is in it. Logs the folder, or
  // why there is none. False when there is none.
  bool Create();

  // The folder's full path; empty until Create succeeded.
  const std::wstring& path() const { return path_; }

  // The file written into the folder (its full path, empty for none): deleted before
  // the folder. Whoever writes it sets it as soon as the file exists.
  std::wstring file;

  // Deletes the file, then the folder, once; the handles on the file must be closed
  // by then. What cannot be removed is logged and left, closed to everyone else.
  void Remove();

 private:
  Platform& platform_;
  std::wstring path_;
};

}  // namespace korvana
