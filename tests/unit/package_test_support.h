// Shared scenery for the package tests: a fake whose property reads can be made to
// fail, and helpers to look at what the locator searched.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "fake_platform.h"

namespace korvana::testing {

inline constexpr wchar_t kErrorCaptionText[] = L"Ошибка";
inline constexpr std::uint32_t kErrorStyle = 0x00050010;

class PackageFake : public FakePlatform {
 public:
  // Property name -> status that every read of it returns (at its first call).
  std::map<std::wstring, Status> failingProperties;

  Read<std::wstring> GetProperty(MsiToken handle, const std::wstring& name) override {
    auto it = failingProperties.find(name);
    if (it == failingProperties.end()) return FakePlatform::GetProperty(handle, name);
    calls.push_back("MsiGetProperty");
    return {false, L"", it->second};
  }

  // A package file at `path` with these properties, its folder made to exist.
  void AddPackage(const std::wstring& path, std::map<std::wstring, std::wstring> properties,
                  Status openStatus = 0) {
    AddFile(path);
    packages[path] = FakePackage{std::move(properties), openStatus};
  }
};

// The package patterns searched, in order (the listings of a folder's subfolders,
// "<folder>\*", left out).
inline std::vector<std::wstring> PackagePatterns(const FakePlatform& fake) {
  std::vector<std::wstring> out;
  for (const std::wstring& pattern : fake.searches)
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
