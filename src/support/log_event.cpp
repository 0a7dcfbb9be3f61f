#include "support/log_event.h"

#include "support/text.h"

namespace korvana {

#ifndef KORVANA_MEASURE_WITHOUT_LOG
void LogEvent(Platform& platform, std::initializer_list<LogPiece> pieces) {
  // "hh:mm:ss.mmm ", the text, CR LF.
  const LocalTime now = platform.clock.PreciseNow();
  const int fields[] = {now.hour, now.minute, now.second, now.millisecond};
  std::wstring line;
  for (int i = 0; i < 4; ++i) line.append(ZeroPadded(fields[i], i == 3 ? 3 : 2)) += L"::. "[i];
  // One event, one line: line breaks inside a text are written as \n.
  for (const LogPiece& piece : pieces) {
    for (std::size_t i = 0; i < piece.length; ++i) {
      if (piece.text[i] == L'\n') line += L"\\n";
      else if (piece.text[i] != L'\r') line += piece.text[i];
    }
  }
  platform.log.Write(line += L"\r\n");
}
#endif

}  // namespace korvana
