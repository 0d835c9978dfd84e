// The queue of calls an event loop runs for other threads.
#include "shared/support/call_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>

namespace zl {
namespace {

TEST(CallQueue, AFailingPostedCallNeitherStrandsABlockedCallerNorSkipsTheOthers) {
  std::atomic<int> wakes{0};
  CallQueue queue([&] { ++wakes; });
  std::string log;
  queue.Post([&] { log += "a;"; });
  queue.Post([] { throw std::runtime_error("posted call failed"); });
  queue.Post([&] { log += "c;"; });

  std::atomic<bool> released{false};
  std::thread caller([&] {
    queue.SynchronizeFromOtherThread([&] { log += "sync;"; });
    released = true;
  });
  while (wakes < 4) std::this_thread::yield();

  EXPECT_THROW(queue.RunQueued(), std::runtime_error);
  caller.join();
  EXPECT_TRUE(released);
  EXPECT_EQ(log, "a;c;sync;");
  EXPECT_FALSE(queue.HasQueued());
}

}  // namespace
}  // namespace zl
