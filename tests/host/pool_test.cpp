// Pool allocation through the module's trampolines.
#include <gtest/gtest.h>

#include <algorithm>

#include "host/globals.h"
#include "host/pool.h"
#include "host/services.h"
#include "platform/pool.h"
#include "support/host_fixture.h"

namespace {

using PoolTest = HostTest;

TEST_F(PoolTest, BlocksAreZeroFilledAndReleasedWithThePool) {
  platform::Pool pool;
  void* h = pool.handle();
  auto* a = static_cast<unsigned char*>(vmalcp_handler(h, 1000, kPoolCleared));
  ASSERT_NE(a, nullptr);
  EXPECT_TRUE(std::all_of(a, a + 1000, [](unsigned char c) { return c == 0; }));
  void* b = vmalloc_handler(h, 24, kPoolBuffer);
  EXPECT_EQ(pool.blocks_held(), 2u);
  EXPECT_EQ(pool.bytes_held(), 1024u);
  vmfree_handler(h, b, kUnknownLength, kPoolRelease);
  EXPECT_EQ(pool.blocks_held(), 1u);
  // A block that is not the pool's is ignored rather than freed.
  int local;
  vmfree_handler(h, &local, kUnknownLength, kPoolRelease);
  EXPECT_EQ(pool.blocks_held(), 1u);
}

TEST_F(PoolTest, ShortfallIsReportedThroughXmemdefAndEndsTheStepWith1016) {
  int rc = host().run_step_with([] {
    platform::Host::current().step_pool().set_budget(100);
    long total = 0;
    void* p = vmalcp_handler(step_pool(), 64, kPoolCleared);
    void* q = vmalcp_handler(step_pool(), 64, kPoolCleared);  // over budget
    EXPECT_NE(p, nullptr);
    EXPECT_EQ(q, nullptr);
    total += xmemdef();
    EXPECT_EQ(total, 64);
    EXPECT_EQ(xmemdef(), 0);  // the shortfall is reported once
    if (total) {
      xmemmsg(total);
      xexit(1016, 0);
    }
  });
  EXPECT_EQ(rc, 1016);
  EXPECT_NE(log_text().find("ERROR: Insufficient memory: 64 bytes"), std::string::npos);
}

TEST_F(PoolTest, ABlockTheSystemRefusesIsRecordedAsAShortfall) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer's allocator aborts on a request this large";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  GTEST_SKIP() << "the sanitizer's allocator aborts on a request this large";
#endif
#endif
  platform::Pool pool;  // no budget: only the system can refuse
  platform::take_memory_shortage();  // start from none
  const long huge = 1L << 60;
  EXPECT_EQ(pool.allocate(huge), nullptr);
  EXPECT_EQ(platform::take_memory_shortage(), huge);
  EXPECT_EQ(pool.blocks_held(), 0u);
  EXPECT_NE(pool.allocate(16), nullptr);
}

}  // namespace
