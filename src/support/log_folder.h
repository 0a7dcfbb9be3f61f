// Where the run's logs go: TMP, or the folder -logdir names; the run's own log in it,
// and the names of the installers' logs beside it.
#pragma once

#include <string>

#include "platform/platform.h"
#include "run/setup_options.h"
#include "support/message_box.h"

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

// Local time as "%Y-%m-%d-%H-%M-%S", also written as one line to standard output.
std::wstring MakeAndPrintTimeStamp(Platform& platform);

// Names an installer log: the log folder (-logdir's, else TMP), a backslash, `prefix`,
// "_", the time stamp and ".log". When TMP cannot be read: text::kEnvironmentUnreadable
// (through `boxes`) and the read's error; a TMP that is not a full path or holds a
// double quote: ERROR_BAD_PATHNAME. `logPath` is left as it was on failure.
Status BuildLogPath(Platform& platform, const SetupOptions& options, const Boxes& boxes,
                    const std::wstring& prefix, std::wstring& logPath);

}  // namespace korvana
