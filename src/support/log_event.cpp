#include "support/log_event.h"


namespace korvana {

#ifndef KORVANA_MEASURE_WITHOUT_LOG
void LogEvent(Platform& platform, std::initializer_list<LogPiece> pieces) {
  std::wstring line;
  for (const LogPiece& piece : pieces) line.append(piece.text, piece.length);
  platform.log.Write(line);
}
#endif

}  // namespace korvana
