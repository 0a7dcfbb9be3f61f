// One line of the run's log, put together from pieces without a temporary text per
// piece: the log sits on many paths, and each concatenation there would cost code.
#pragma once

#include <cwchar>
#include <initializer_list>
#include <string>

#include "platform/platform.h"

namespace korvana {

struct LogPiece {
  LogPiece(const wchar_t* text) : text(text), length(std::wcslen(text)) {}  // NOLINT: implicit
  LogPiece(const std::wstring& text) : text(text.data()), length(text.size()) {}  // NOLINT
  const wchar_t* text;
  std::size_t length;
};

#ifdef KORVANA_MEASURE_WITHOUT_LOG  // bench/size's build without the log
inline void LogEvent(Platform&, std::initializer_list<LogPiece>) {}
#else
void LogEvent(Platform& platform, std::initializer_list<LogPiece> pieces);
#endif

}  // namespace korvana
