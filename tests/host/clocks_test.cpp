// Clocks, the time-of-day stamp and the version record.
#include <gtest/gtest.h>

#include <sys/time.h>

#include <cstring>
#include <ctime>
#include <regex>
#include <string>

#include "host/clocks.h"
#include "host/kernel_handle.h"
#include "host/version_record.h"
#include "host/wide_strings.h"
#include "support/host_fixture.h"

namespace {

std::int64_t now_seconds() {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  return tv.tv_sec;
}

bool is_stamp(const std::string& s) { return std::regex_match(s, std::regex(R"(\[\d\d:\d\d:\d\d\] )")); }

TEST(Clocks, LocalTimeAgreesWithTheSystemClock) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::uint32_t hours = 99, minutes = 99;
    double seconds = -1;
    // The wall clock the stamp reads, not time(), which may lag it by a tick.
    const time_t before = now_seconds();
    EXPECT_EQ(qxztime(&hours, &minutes, &seconds), 0);
    if (now_seconds() != before) continue;  // a second ticked over
    tm local{};
    localtime_r(&before, &local);
    EXPECT_EQ(hours, static_cast<std::uint32_t>(local.tm_hour));
    EXPECT_EQ(minutes, static_cast<std::uint32_t>(local.tm_min));
    EXPECT_GE(seconds, local.tm_sec);
    EXPECT_LT(seconds, local.tm_sec + 1);
    return;
  }
  ADD_FAILURE() << "the clock kept ticking over";
}

TEST(Clocks, MicrosecondClockHonoursItsMask) {
  timeval before{}, after{};
  gettimeofday(&before, nullptr);
  const std::int64_t full = qxzTimeUsec(-1);
  gettimeofday(&after, nullptr);
  EXPECT_GE(full, before.tv_sec * 1000000LL + before.tv_usec);
  EXPECT_LE(full, after.tv_sec * 1000000LL + after.tv_usec);
  const std::int64_t within = qxzTimeUsec(0);
  EXPECT_GE(within, 0);
  EXPECT_LT(within, 1000000);
  // A mask of the low 8 bits keeps the seconds modulo 256.
  const std::int64_t low = qxzTimeUsec(0xFF);
  EXPECT_LT(low, 256LL * 1000000);
}

// A kernel clock object: word 17 holds the hook.
int g_hook_calls = 0;
void* g_hook_object = nullptr;
void count_hook(void* object) {
  ++g_hook_calls;
  g_hook_object = object;
}

class ClockHookTest : public HostTest {
 protected:
  ClockHookTest() {
    object_[17] = reinterpret_cast<void*>(&count_hook);
    area()[kQXHandleClockWord] = object_;
    g_hook_calls = 0;
    bkz_lasttime = 0;
  }
  ~ClockHookTest() override { area()[kQXHandleClockWord] = nullptr; }
  void** area() { return static_cast<void**>(host().qx_handle_area()); }
  void* object_[20] = {};
};

TEST_F(ClockHookTest, HookRunsAtMostOnceInFiveSecondsAndAgainWhenTheClockGoesBack) {
  const double t = bkztod();
  EXPECT_NEAR(t, static_cast<double>(now_seconds()), 2.0);
  EXPECT_EQ(g_hook_calls, 1);
  EXPECT_EQ(g_hook_object, static_cast<void*>(object_));
  EXPECT_NEAR(static_cast<double>(bkz_lasttime), t, 1.0);
  bkztod();
  EXPECT_EQ(g_hook_calls, 1);
  bkz_lasttime = now_seconds() + 100;  // the clock went back
  bkztod();
  EXPECT_EQ(g_hook_calls, 2);
  EXPECT_LE(bkz_lasttime, now_seconds());
  bkz_lasttime = now_seconds() - 6;
  bkztod();
  EXPECT_EQ(g_hook_calls, 3);
}

TEST_F(ClockHookTest, NoObjectOrNoFunctionMeansNoCall) {
  object_[17] = nullptr;
  bkztod();
  EXPECT_EQ(g_hook_calls, 0);
  EXPECT_EQ(bkz_lasttime, 0);  // only a call records the second
  area()[kQXHandleClockWord] = nullptr;
  bkztod();
  EXPECT_EQ(g_hook_calls, 0);
}

std::string narrow(const QXChar* w) {
  std::string s;
  for (; *w; ++w) s += static_cast<char>(*w);
  return s;
}

TEST(TimeStamp, WideTextGetsTheStampWhenTheFlagsAskForIt) {
  const QXChar fmt[] = {'r', 'u', 'n', 0};
  QXChar out[32];
  EXPECT_EQ(bkzAddTimeT(fmt, out, 32, 0x20000), 0);
  const std::string stamped = narrow(out);
  ASSERT_EQ(stamped.size(), 14u);
  EXPECT_TRUE(is_stamp(stamped.substr(0, 11))) << stamped;
  EXPECT_EQ(stamped.substr(11), "run");
  EXPECT_EQ(bkzAddTimeT(fmt, out, 32, 0x220000), 0);
  EXPECT_EQ(narrow(out), "run");
  // Exactly enough room, then one character short.
  EXPECT_EQ(bkzAddTimeT(fmt, out, 15, 0x20000), 0);
  EXPECT_EQ(narrow(out).size(), 14u);
  out[14] = 'X';
  EXPECT_EQ(bkzAddTimeT(fmt, out, 14, 0x20000), kQXBufferTooSmall);
  EXPECT_EQ(narrow(out).substr(11), "ru");
  EXPECT_EQ(bkzAddTimeT(fmt, out, 5, 0x20000), kQXBufferTooSmall);
  EXPECT_EQ(narrow(out).size(), 4u);  // "[hh:" and the terminator
  EXPECT_EQ(out[0], '[');
  EXPECT_EQ(bkzAddTimeT(fmt, out, 0, 0), kQXBufferTooSmall);
  EXPECT_EQ(bkzAddTimeT(fmt, nullptr, 10, 0), kQXBufferTooSmall);
}

TEST(TimeStamp, LogTimeIsTwelveBytes) {
  char out[16];
  std::memset(out, '#', sizeof out);
  EXPECT_EQ(bkzGetLogTime(out, 12, 0), 0);
  EXPECT_EQ(out[11], '\0');
  EXPECT_EQ(out[12], '#');
  EXPECT_TRUE(is_stamp(out)) << out;
  // The stamp shows the local time of qxztime.
  std::uint32_t hours = 0, minutes = 0;
  double seconds = 0;
  qxztime(&hours, &minutes, &seconds);
  if (seconds >= 1 && seconds < 59) {
    EXPECT_EQ(std::stoi(std::string(out + 1, 2)), static_cast<int>(hours));
  }
  EXPECT_EQ(bkzGetLogTime(out, 4, 0), kQXBufferTooSmall);
  EXPECT_EQ(std::strlen(out), 3u);  // "[hh" and the terminator
  EXPECT_EQ(out[0], '[');
}

TEST(VersionRecord, CopyCarriesTheBuildsOwnData) {
  QXS_Version_Info info{};
  qxvercn1(&info);
  EXPECT_STREQ(info.version, RUVA_VERSION);
  ASSERT_NE(info.build_time, nullptr);
  // The epoch agrees with the build-time text, read independently as UTC.
  tm parsed{};
  ASSERT_NE(strptime(info.build_time, "%b %d %Y %H:%M:%S", &parsed), nullptr) << info.build_time;
  EXPECT_EQ(info.build_epoch, static_cast<std::int64_t>(timegm(&parsed)));
  EXPECT_LE(info.build_epoch, now_seconds() + 86400);
  for (std::uint64_t word : info.expansion) EXPECT_EQ(word, 0u);
  qxvercn1(nullptr);  // nothing to copy into: nothing happens
}

}  // namespace
