// Finds the package that fits this machine beside the executable, and makes the
// pattern words (architecture, ARM64, UI language) that its searches use.
#pragma once

#include <string>

#include "platform/platform.h"

namespace korvana {

class PackageLocator {
 public:
  explicit PackageLocator(Platform& platform) : platform_(platform) {}

  // 0 and the full path of the first entry matching `pattern` in the executable's
  // folder, else in its first-level subfolders (not those starting with "."); 232
  // when nothing matches, `path` then left as it was.
  Status FindPackage(const std::wstring& pattern, std::wstring& path);

  const wchar_t* ArchitectureWord();   // "x64" or "win32"
  std::wstring ArchitecturePattern();  // the word between asterisks: "*x64*" or "*win32*"
  std::wstring Arm64Pattern();         // "*arm64*" or empty
  std::wstring LanguagePattern();      // "*rus*" or "*eng*"

  // ArchitecturePattern + "*.msi", then "*.msi".
  Status IdentitySearch(std::wstring& path);
  // The five-step plan over ARM64, architecture and language words and `suffix`.
  Status VersionSearch(const std::wstring& suffix, std::wstring& path);

 private:
  Platform& platform_;
};

}  // namespace korvana
