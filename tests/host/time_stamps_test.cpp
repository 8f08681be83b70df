// Time-of-day clocks and the "[hh:mm:ss] " stamp.
#include <gtest/gtest.h>

#include <sys/time.h>

#include <ctime>
#include <string>

#include "host/globals.h"
#include "host/qx_handle.h"
#include "host/qx_text.h"
#include "host/time_stamps.h"
#include "platform/utf8.h"
#include "support/host_fixture.h"

namespace {

int g_hook_calls = 0;
void clock_hook(void*) { ++g_hook_calls; }

using TimeStampTest = HostTest;

bool is_stamp(const std::string& s) {
  return s.size() == 11 && s[0] == '[' && s[3] == ':' && s[6] == ':' && s[9] == ']' && s[10] == ' ' &&
         std::isdigit(s[1]) && std::isdigit(s[8]);
}

TEST_F(TimeStampTest, StampedCopyHonoursTheBufferLength) {
  QXChar out[32];
  bkzAddTimeT(qx_text(U"message"), out, 32, kTimeStampFlag);
  const std::string text = platform::to_utf8(out, 0);
  ASSERT_EQ(text.size(), 18u);
  EXPECT_TRUE(is_stamp(text.substr(0, 11))) << text;
  EXPECT_EQ(text.substr(11), "message");
  bkzAddTimeT(qx_text(U"message"), out, 32, kTimeStampFlag | kNoTimeStampFlag);
  EXPECT_EQ(platform::to_utf8(out, 0), "message");
  QXChar small[6] = {1, 1, 1, 1, 1, 1};
  bkzAddTimeT(qx_text(U"message"), small, 5, kTimeStampFlag);
  EXPECT_EQ(platform::to_utf8(small, 0).size(), 4u);  // "[hh:" and the terminator
  EXPECT_EQ(small[5], 1);
  bkzAddTimeT(qx_text(U"message"), small, 5, 0);
  EXPECT_EQ(platform::to_utf8(small, 0), "mess");
  char log[12];
  bkzGetLogTime(log, 12, 0);
  EXPECT_TRUE(is_stamp(log));
  char tiny[4] = {'x', 'x', 'x', 'x'};
  bkzGetLogTime(tiny, 3, 0);
  EXPECT_EQ(tiny[2], 0);
  EXPECT_EQ(tiny[3], 'x');
}

TEST_F(TimeStampTest, ClocksAgreeWithTheTimeOfDay) {
  timeval before{};
  gettimeofday(&before, nullptr);
  const double tod = bkztod();
  EXPECT_GE(tod, static_cast<double>(before.tv_sec));
  EXPECT_LT(qxzTimeUsec(0), 1000000);
  EXPECT_GE(qxzTimeUsec(-1), static_cast<std::int64_t>(before.tv_sec) * 1000000);
  unsigned h = 99, m = 99;
  double s = -1;
  EXPECT_EQ(qxztime(&h, &m, &s), 0);
  EXPECT_LT(h, 24u);
  EXPECT_LT(m, 60u);
  EXPECT_GE(s, 0.0);
  EXPECT_LT(s, 61.0);
}

TEST_F(TimeStampTest, KernelClockHookRunsAtMostEveryFiveSeconds) {
  void* object[18] = {};
  object[17] = reinterpret_cast<void*>(&clock_hook);
  auto** area = static_cast<void**>(host().qx_handle_area());
  area[kQXHandleClockWord] = object;
  bkz_lasttime = 0;
  g_hook_calls = 0;
  bkztod();
  bkztod();
  EXPECT_EQ(g_hook_calls, 1);
  bkz_lasttime += 1000;  // the clock went back
  bkztod();
  EXPECT_EQ(g_hook_calls, 2);
  area[kQXHandleClockWord] = nullptr;
}

}  // namespace
