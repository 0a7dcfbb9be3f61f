// The worker thread: started with its own reference to its body, waited for, closed.
#include <gtest/gtest.h>

#include "platform/win32/threads.h"
#include "platform/win32/unique_handle.h"

namespace korvana::win32 {
namespace {

// Runs until `release` is signalled.
class BlockingBody : public ThreadBody {
 public:
  explicit BlockingBody(HANDLE release) : release_(release) {}
  std::uint32_t Run() override {
    ::WaitForSingleObject(release_, INFINITE);
    return 7;
  }

 private:
  HANDLE release_;
};

TEST(Win32Threads, RunsTheBodyAndHoldsItUntilTheEnd) {
  UniqueKernelHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ASSERT_TRUE(release);
  auto body = std::make_shared<BlockingBody>(release.get());
  std::weak_ptr<BlockingBody> watch = body;
  Win32Threads threads;

  const ThreadToken thread = threads.StartThread(body);
  ASSERT_TRUE(IsOpen(thread));
  // The starter lets go at once, as a cancelled dialog does: the thread's own
  // reference must keep the body alive while it runs.
  body.reset();
  EXPECT_FALSE(watch.expired());
  EXPECT_FALSE(threads.WaitThread(thread, 0)) << "ended before it was released";

  ::SetEvent(release.get());
  EXPECT_TRUE(threads.WaitThread(thread, Threads::kInfinite));
  EXPECT_TRUE(threads.WaitThread(thread, 0));
  DWORD exitCode = 0;
  EXPECT_TRUE(::GetExitCodeThread(reinterpret_cast<HANDLE>(thread), &exitCode));
  EXPECT_EQ(exitCode, 7u);
  // Its reference is released when the body returns: nothing leaks.
  EXPECT_TRUE(watch.expired());
  threads.CloseThread(thread);
}

}  // namespace
}  // namespace korvana::win32
