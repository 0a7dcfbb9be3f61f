// A second thread, started through the C runtime so that it may use the runtime.
#pragma once

#include "platform/threads.h"

namespace korvana::win32 {

class Win32Threads final : public Threads {
 public:
  ThreadToken StartThread(std::shared_ptr<ThreadBody> body) override;
  bool WaitThread(ThreadToken thread, std::uint32_t milliseconds) override;
  void CloseThread(ThreadToken thread) override;
};

}  // namespace korvana::win32
