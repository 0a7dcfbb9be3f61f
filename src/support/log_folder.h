// Where the run's logs go: TMP, or the folder -logdir names; and the run's own log in it.
#pragma once

#include <string>

#include "platform/platform.h"
#include "run/setup_options.h"

namespace korvana {

// A folder our logs may go into: a full path (X:\... or \\server\share...) without a
// double quote, which would end the quoted log path on an installer's command line and
// let the rest of the folder's name pass for installer options.
bool IsUsableLogFolder(const std::wstring& folder);

// `given` (-logdir) as a full path: a relative one is taken from the current
// directory. 0, the current directory's read error, or ERROR_BAD_PATHNAME for a name
// that is neither full nor plainly relative (drive-relative "C:x", rooted "\x") or
// that holds a double quote.
Status FullLogFolder(Platform& platform, const std::wstring& given, std::wstring& full);

// Creates `folder` and any parent it lacks: 0, or the error of the first part that
// neither exists nor could be made.
Status CreateFolderTree(Platform& platform, const std::wstring& folder);

// Creates the run's own log in `folder` as korvana-setup_<stamp>.log, or, where that
// name is taken (a file planted there, another run of the same second), the first free
// korvana-setup_<stamp>_<n>.log from n = 2: 0 and the path, or the error of the create.
Status CreateOwnLog(Platform& platform, const std::wstring& folder, const std::wstring& stamp,
                    std::wstring& path);

}  // namespace korvana
