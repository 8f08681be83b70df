// Work run on a thread of its own with a large stack: it runs there, and
// what it throws (a shortage of memory while parsing, say) is thrown again
// on the caller's thread, not lost with the thread. Under a limit of
// address space the stack leaves the work the room the limit gives.
#include "platform/threads/large_stack.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <new>
#include <thread>

#include "support/sanitized.h"

namespace {

TEST(LargeStack, WorkRunsOnItsOwnThreadAndItsExceptionReachesTheCaller) {
  std::thread::id ran_on;
  platform::run_with_stack(platform::kParseStackBytes, [&] { ran_on = std::this_thread::get_id(); });
  EXPECT_NE(ran_on, std::this_thread::get_id());
  EXPECT_THROW(platform::run_with_stack(platform::kParseStackBytes, [] { throw std::bad_alloc(); }), std::bad_alloc);
}

// A limit 1.25 GB above what the process holds: a stack of the full 1 GB
// would leave the work less than 250 MB, and 600 MB must fit.
TEST(LargeStack, UnderAnAddressSpaceLimitTheStackLeavesTheWorkItsRoom) {
  if (kSanitized) GTEST_SKIP() << "a sanitizer reserves more address space than any limit leaves";
  const pid_t child = fork();
  if (child == 0) {
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    rlimit limit{};
    getrlimit(RLIMIT_AS, &limit);
    limit.rlim_cur = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (rlim_t{1280} << 20);
    if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(2);
    bool fitted = false;
    platform::run_with_stack(platform::kTreeStackBytes, [&] {
      void* block = std::malloc(std::size_t{600} << 20);
      fitted = block != nullptr;
      std::free(block);
    });
    _exit(fitted ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

}  // namespace
