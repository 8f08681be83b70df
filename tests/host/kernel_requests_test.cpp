// Coded kernel requests: the blocks and flags the module sends (seen by a
// stand-in ConfigureSystem), and the two requests our kernel answers.
#include <gtest/gtest.h>
#include <unistd.h>

#include <sys/resource.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <set>
#include <thread>
#include <vector>

#include "host/globals.h"
#include "host/kernel_handle.h"
#include "host/kernel_requests.h"
#include "support/host_fixture.h"

namespace {

struct Seen {
  int calls = 0;
  int code = -1;
  void* block = nullptr;
  std::uint32_t flags = 0;
  QXStatus answer = 0;
  double available = 0;  // what request 46 reports
  void* found = nullptr;  // the handle request 14 reports
  void* module = nullptr;  // the module name request 14 was given
} g_seen;

QXStatus fake_configure(int code, void* block, std::uint32_t flags, QX_HNDL_S*) {
  ++g_seen.calls;
  g_seen.code = code;
  g_seen.block = block;
  g_seen.flags = flags;
  if (code == 46) static_cast<double*>(block)[0] = g_seen.available;
  // {module, length, search path, journal, a null word, result}
  if (code == 14) {
    g_seen.module = static_cast<void**>(block)[0];
    static_cast<void**>(block)[5] = g_seen.found;
  }
  return g_seen.answer;
}

class RequestTest : public HostTest {
 protected:
  void use_fake() {
    g_seen = {};
    saved_ = Exported_QXHandle->ConfigureSystem;
    Exported_QXHandle->ConfigureSystem = &fake_configure;
  }
  void TearDown() override {
    if (saved_) Exported_QXHandle->ConfigureSystem = saved_;
  }
  decltype(QX_HNDL_S::ConfigureSystem) saved_ = nullptr;
};

TEST_F(RequestTest, TraceEntriesAreSentOnlyWithAFileAndWhenNotSuppressed) {
  use_fake();
  int context = 0;
  qxtConfigureSignals(&context, 0x4);
  EXPECT_EQ(g_seen.flags, kQXRequestFlags | 0x4);  // the caller's flags are added
  qxLogRtraceEntry(7, nullptr, "f2", 0);  // no first file: nothing sent
  Exported_QXHandle->flags |= 1;  // trace entries suppressed
  qxLogRtraceEntry(7, "f1", "f2", 0);
  EXPECT_EQ(g_seen.calls, 1);
  Exported_QXHandle->flags &= ~1ull;
  qxLogRtraceEntry(7, "f1", "f2", 0);
  EXPECT_EQ(g_seen.code, 36);
  // The signal-handler request is never reported as failing.
  g_seen.answer = static_cast<QXStatus>(0x803FC004u);
  EXPECT_EQ(qxtInitializeQXSignalHandlers(), 0);
}

TEST_F(RequestTest, AvailableMemoryIsBoundedByTheCallersLimits) {
  use_fake();
  QXMemSize size = 1;
  g_seen.available = 500;
  EXPECT_EQ(qxmGuessHostFriendlyMemAvail(&size, 0, 600, 0), 0);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(qxmGuessHostFriendlyMemAvail(&size, 0, 0, 400), 0);
  EXPECT_EQ(size, 400u);
  EXPECT_EQ(qxmGuessHostFriendlyMemAvail(&size, 0, 100, 0), 0);
  EXPECT_EQ(size, 500u);
  g_seen.available = -1;  // nonsense from the kernel never wraps around
  qxmGuessHostFriendlyMemAvail(&size, 0, 0, 0);
  EXPECT_EQ(size, 0u);
  double raw = 0;
  g_seen.available = 123.5;
  qxmrlmem(&raw, 0);
  EXPECT_EQ(raw, 123.5);
}

// The version-information handle comes back from the block whether or not
// the caller asks for the request's status.
TEST_F(RequestTest, VersionInformationIsReturnedWithOrWithoutAStatus) {
  use_fake();
  int information = 0;
  g_seen.found = &information;
  g_seen.answer = static_cast<QXStatus>(0x803FC004u);
  const QXChar mod[] = {'q', 'x', 0};
  QXStatus status = 0;
  EXPECT_EQ(qxzGetVerconInfo(mod, 2, 1, &status, nullptr), &information);
  EXPECT_EQ(status, g_seen.answer);
  EXPECT_EQ(g_seen.code, 14);
  EXPECT_EQ(g_seen.module, mod);
  EXPECT_EQ(qxzGetVerconInfo(mod, 2, 1, nullptr, nullptr), &information);
  EXPECT_EQ(g_seen.calls, 2);
}

TEST_F(RequestTest, WithoutAHandleNothingIsSent) {
  QXHndlp saved = Exported_QXHandle;
  Exported_QXHandle = nullptr;
  int mc = 0;
  EXPECT_EQ(qxtSaveFPControl(&mc), kQXMissingExtension);
  EXPECT_EQ(qxtMaskAllFPExceptions(), kQXMissingExtension);
  EXPECT_EQ(qxzGetCurrRootAddr(), nullptr);
  EXPECT_EQ(qxzGetDefLocale(), nullptr);
  EXPECT_EQ(qxzdttme(), 0.0);
  Exported_QXHandle = saved;
}

TEST_F(RequestTest, StatisticsDescribeThisProcess) {
  QXZ_Stats_Info s;
  std::memset(&s, 0xAB, sizeof s);
  ASSERT_EQ(qxzstats(&s), 0);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  EXPECT_LE(s.user_cpu_time.seconds, usage.ru_utime.tv_sec);
  EXPECT_LT(s.user_cpu_time.microseconds, 1000000);
  EXPECT_GT(s.timestamp.seconds, 1600000000);  // a real time of day
  EXPECT_GT(s.current_memory, 0u);
  EXPECT_GE(s.high_water_mark_memory, s.current_memory / 2);
  EXPECT_GE(s.current_thread_count, 1u);
  EXPECT_GE(s.high_water_mark_thread_count, s.current_thread_count);
  EXPECT_EQ(s.unused8, 0u);
  std::thread worker([] { std::this_thread::sleep_for(std::chrono::milliseconds(50)); });
  QXZ_Stats_Info busy{};
  qxzstats(&busy);
  worker.join();
  EXPECT_GE(busy.current_thread_count, s.current_thread_count + 1);
}

TEST_F(RequestTest, ElapsedTimeFollowsTheClock) {
  const double t0 = qxzdttme();
  EXPECT_GE(t0, 0.0);
  const auto start = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const double t1 = qxzdttme();
  const double real = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GE(t1 - t0, 0.02);
  EXPECT_LE(t1 - t0, real + 1e-3);
}

// The memory still available: positive, and no more than the machine has.
TEST_F(RequestTest, AvailableMemoryIsWhatTheMachineCanStillGive) {
  double available = 0;
  ASSERT_EQ(qxmrlmem(&available, 0), 0);
  EXPECT_GT(available, 0);
  EXPECT_LE(available, static_cast<double>(sysconf(_SC_PHYS_PAGES)) * static_cast<double>(sysconf(_SC_PAGESIZE)));
}

// Under a limit on the address space, what the limit leaves of it bounds
// the memory available: mapped pages count whether in memory or not.
TEST_F(RequestTest, AnAddressSpaceLimitBoundsTheMemoryAvailable) {
  std::ifstream statm("/proc/self/statm");
  double pages = 0;
  ASSERT_TRUE(statm >> pages);
  const double mapped = pages * static_cast<double>(sysconf(_SC_PAGESIZE));
  constexpr double kRoom = 64 << 20;
  rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_AS, &before), 0);
  if (before.rlim_max != RLIM_INFINITY && static_cast<double>(before.rlim_max) < mapped + kRoom)
    GTEST_SKIP() << "the address space is limited already";
  rlimit limit = before;
  limit.rlim_cur = static_cast<rlim_t>(mapped + kRoom);
  ASSERT_EQ(setrlimit(RLIMIT_AS, &limit), 0);
  double available = 0;
  const QXStatus rc = qxmrlmem(&available, 0);
  setrlimit(RLIMIT_AS, &before);
  EXPECT_EQ(rc, 0);
  EXPECT_LE(available, kRoom);
  EXPECT_GT(available, kRoom / 2);
}

TEST_F(RequestTest, OtherCodesAreAnsweredAsNotSupported) {
  EXPECT_EQ(qxzSetEncodings(), kQXNotSupported);
  EXPECT_EQ(qxRemoveAbortCallback(nullptr), kQXNotSupported);
  EXPECT_EQ(qxGetOSPath(0), nullptr);
  EXPECT_EQ(qx_request(999, nullptr), kQXNotSupported);
  EXPECT_EQ(qxzstats(nullptr), static_cast<QXStatus>(0x803FC005u));
}

TEST_F(RequestTest, EveryThreadHasItsOwnIdentity) {
  QX_HNDL_S* h = Exported_QXHandle;
  const std::uint64_t mine = h->threadGetHandle(h)->id;
  EXPECT_EQ(h->threadGetHandle(h)->id, mine);
  EXPECT_EQ(reinterpret_cast<std::uint64_t*>(h->threadGetHandle(h))[7], mine);
  QXThreadRecord* record = h->threadGetHandle(h);
  record->generic.destroy(record);  // the thread owns its record: it stays
  EXPECT_EQ(h->threadGetHandle(h)->id, mine);
  std::vector<std::uint64_t> ids(8);
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) threads.emplace_back([&ids, h, i] { ids[i] = h->threadGetHandle(h)->id; });
  for (auto& t : threads) t.join();
  std::set<std::uint64_t> distinct(ids.begin(), ids.end());
  distinct.insert(mine);
  EXPECT_EQ(distinct.size(), 9u);
}

}  // namespace
