// Shared scenery for the package tests: helpers to look at what the locator searched.
#pragma once

#include <string>
#include <vector>

#include "fake_platform.h"

namespace korvana::testing {

inline constexpr wchar_t kErrorCaptionText[] = L"Ошибка";

// The package patterns searched, in order (the listings of a folder's subfolders,
// "<folder>\*", left out).
inline std::vector<std::wstring> PackagePatterns(const FakePlatform& fake) {
  std::vector<std::wstring> out;
  for (const std::wstring& pattern : fake.files.searches)
    if (pattern.size() < 2 || pattern.compare(pattern.size() - 2, 2, L"\\*") != 0) out.push_back(pattern);
  return out;
}

// Calls whose name is one of `names`, in order.
inline std::vector<std::string> CallsNamed(const FakePlatform& fake,
                                           const std::vector<std::string>& names) {
  std::vector<std::string> out;
  for (const std::string& call : fake.calls) {
    for (const std::string& name : names)
      if (call == name) out.push_back(call);
  }
  return out;
}

}  // namespace korvana::testing
