#include "support/child_process.h"

#include "support/log_event.h"
#include "support/text.h"

namespace korvana {

Status RunChild(Platform& platform, const std::wstring& commandLine, const std::wstring& application) {
  LogEvent(platform, {L"run: ", commandLine});
  const Status result = platform.processes.RunAndWait(commandLine, application);
  LogEvent(platform, {L"its exit code: ", ToDecimal(result)});
  return result;
}

}  // namespace korvana
