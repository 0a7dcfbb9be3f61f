// A second thread. The body is shared: the thread holds it for as long as it runs,
// so a thread that is given up on never outlives what it works on.
#pragma once

#include <memory>

#include "platform/tokens.h"

namespace korvana {

class ThreadBody {
 public:
  virtual ~ThreadBody() = default;
  virtual std::uint32_t Run() = 0;  // the thread's whole life; its exit code
};

class Threads {
 public:
  virtual ~Threads() = default;
  static constexpr std::uint32_t kInfinite = 0xFFFFFFFF;
  // Starts a thread through the C runtime (_beginthreadex): default stack size,
  // running at once; 0 when it cannot start.
  virtual ThreadToken StartThread(std::shared_ptr<ThreadBody> body) = 0;
  // WaitForSingleObject: true when the thread ended within `milliseconds`.
  virtual bool WaitThread(ThreadToken thread, std::uint32_t milliseconds) = 0;
  virtual void CloseThread(ThreadToken thread) = 0;  // CloseHandle
};

using ThreadHandle = ScopedToken<Threads, ThreadToken, &Threads::CloseThread>;

}  // namespace korvana
