#include "platform/win32/threads.h"

#include <process.h>

#include "platform/win32/unique_handle.h"
#include "platform/win32/windows_api.h"

namespace korvana::win32 {
namespace {

// The thread's own reference to its body, handed over on the heap: the body lives as
// long as the thread runs, even when whoever started it has let go of it.
unsigned __stdcall RunBody(void* argument) {
  auto* held = static_cast<std::shared_ptr<ThreadBody>*>(argument);
  const std::uint32_t code = (*held)->Run();
  delete held;
  return code;
}

}  // namespace

ThreadToken Win32Threads::StartThread(std::shared_ptr<ThreadBody> body) {
  auto* held = new std::shared_ptr<ThreadBody>(std::move(body));
  // _beginthreadex rather than CreateThread: the body uses the C runtime, whose
  // per-thread state this sets up and frees. Default stack, running at once.
  const std::uintptr_t thread = ::_beginthreadex(nullptr, 0, RunBody, held, 0, nullptr);
  if (thread == 0) delete held;
  return static_cast<ThreadToken>(thread);
}

bool Win32Threads::WaitThread(ThreadToken thread, std::uint32_t milliseconds) {
  return ::WaitForSingleObject(FromToken<HANDLE>(thread), milliseconds) == WAIT_OBJECT_0;
}

void Win32Threads::CloseThread(ThreadToken thread) {
  ::CloseHandle(FromToken<HANDLE>(thread));
}

}  // namespace korvana::win32
