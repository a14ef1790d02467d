// The I/O loop: posted work wakes it through its completion port, and other
// completion packets go to the handler named by their context.
#include "base/io_message_loop.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "base/message_loop_proxy.h"
#include "tests/base/test_watchdog.h"

namespace qbase {
namespace {

constexpr DWORD kTestTimeoutMs = 30000;

class RecordingHandler : public WinIOMessagePump::IoHandler {
 public:
  void OnIoCompleted(WinIOMessagePump::IoContext* context, DWORD bytes, DWORD error) override {
    contexts.push_back(context);
    bytes_seen.push_back(bytes);
    errors.push_back(error);
    MessageLoop::current()->Quit();
  }
  std::vector<WinIOMessagePump::IoContext*> contexts;
  std::vector<DWORD> bytes_seen;
  std::vector<DWORD> errors;
};

TEST(IOMessageLoopTest, RunsTasksFromOtherThreadsAndDeliversCompletionsToTheirHandler) {
  test::TestWatchdog watchdog(kTestTimeoutMs, "I/O loop");
  IOMessageLoop loop;
  ASSERT_EQ(&loop, IOMessageLoop::current());
  std::shared_ptr<MessageLoopProxy> proxy = loop.proxy();
  std::vector<int> ran;
  std::thread poster([&] {
    for (int i = 0; i < 100; ++i) proxy->PostTask([&ran, i] { ran.push_back(i); });
    proxy->PostDelayedTask([&ran] { ran.push_back(100); }, TimeSpan::FromMilliseconds(20));
    proxy->PostDelayedTask([] { MessageLoop::current()->Quit(); }, TimeSpan::FromMilliseconds(40));
  });
  loop.Run();
  poster.join();
  ASSERT_EQ(101u, ran.size());
  for (int i = 0; i <= 100; ++i) ASSERT_EQ(i, ran[i]);

  RecordingHandler handler;
  WinIOMessagePump::IoContext context = {};
  context.handler = &handler;
  ASSERT_TRUE(PostQueuedCompletionStatus(loop.io_pump()->completion_port(), 7, 0,
                                         &context.overlapped));
  loop.Run();
  ASSERT_EQ(1u, handler.contexts.size());
  EXPECT_EQ(&context, handler.contexts[0]);
  EXPECT_EQ(7u, handler.bytes_seen[0]);
  EXPECT_EQ(0u, handler.errors[0]);
}

}  // namespace
}  // namespace qbase
