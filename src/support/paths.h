// Windows paths taken apart as text: where a name ends, what a full path is, what
// could climb out of a folder. Backslash and slash both separate, as Windows reads them.
#pragma once

#include <cstddef>
#include <string>

namespace korvana {

inline bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The characters after the last backslash, extension included; the whole path when
// it has none.
std::wstring FileNameOf(const std::wstring& path);

// The path up to and with its last backslash; empty when it has none.
std::wstring FolderOf(const std::wstring& path);

// "X:\..." and "\\...": a path the loader takes as it stands, wherever the process
// stands, rather than searching for it.
bool IsFullPath(const std::wstring& path);

// Where the part of a full path that can be created begins: behind "X:\" (X a letter),
// or behind "\\server\share\"; 0 for a path that is not full. Stricter than IsFullPath:
// a folder is made and written only where both its server and its share are named.
std::size_t RootLength(const std::wstring& path);

// Whether `path` has a ".." part, which could climb out of whatever folder it is
// joined to.
bool HasParentPart(const std::wstring& path);

}  // namespace korvana
