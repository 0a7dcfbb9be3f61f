// The file name a download server gives in its Content-Disposition header, and the
// rule for which names the program will write to disk.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace korvana {

// Scans the first `count` characters of `value` (fewer when a null comes first) the
// way a wide scanf applies "attachment; filename = \"%[^\"]\"": "attachment;" exactly
// (case matters), then "filename", "=" and a double quote, each blank of the pattern
// matching any run of white space (space, tab, CR, LF, VT, FF), none included; then
// one or more characters up to the next double quote or the end. The closing quote is
// not required. The name, or nullopt when the value has another form.
std::optional<std::wstring> ScanAttachmentFileName(const wchar_t* value, std::size_t count);

// True for a name that can only mean a file in the current directory: not empty, not
// "." or "..", no path separator or drive colon, no character Windows refuses in a
// file name (controls, < > " | ? *), no trailing dot or blank (Windows would drop
// them, naming another file than the one checked), and not a device name (CON, NUL,
// COM1, LPT1, ... with or without an extension), which would open a device.
bool IsPlainFileName(const std::wstring& name);

}  // namespace korvana
