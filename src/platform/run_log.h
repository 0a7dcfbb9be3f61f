// The bootstrapper's own log, in UTF-8. Writing never fails a step and never changes
// what a run does. Lines written before the file is created are kept and go into it
// first, so a log in a folder the command line names holds the run from its first line.
#pragma once

#include <string>

#include "platform/tokens.h"

namespace korvana {

class Log {
 public:
  virtual ~Log() = default;
  // One finished line, its CR LF included; from any thread.
  virtual void Write(const std::wstring& line) = 0;
  // CreateFileW(path, write, read sharing, CREATE_NEW, not through a reparse point),
  // then the lines kept so far: 0, or the create's error (ERROR_FILE_EXISTS when the
  // name is taken: nothing is ever added to a file that was there before).
  [[nodiscard]] virtual Status Create(const std::wstring& path) = 0;
  // No file will come: the lines kept are dropped, and later ones are not kept.
  virtual void Abandon() = 0;
};

}  // namespace korvana
