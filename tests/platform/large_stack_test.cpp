// Work run on a thread of its own with a large stack: it runs there, and
// what it throws (a shortage of memory while parsing, say) is thrown again
// on the caller's thread, not lost with the thread.
#include "platform/threads/large_stack.h"

#include <gtest/gtest.h>

#include <new>
#include <thread>

namespace {

TEST(LargeStack, WorkRunsOnItsOwnThreadAndItsExceptionReachesTheCaller) {
  std::thread::id ran_on;
  platform::run_with_stack(platform::kParseStackBytes, [&] { ran_on = std::this_thread::get_id(); });
  EXPECT_NE(ran_on, std::this_thread::get_id());
  EXPECT_THROW(platform::run_with_stack(platform::kParseStackBytes, [] { throw std::bad_alloc(); }), std::bad_alloc);
}

}  // namespace
