// The threaded sweep: row blocks, agreement with the single-threaded sweep
// bit for bit, the choice between them, and clean shutdown on failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <string>
#include <thread>
#include <vector>

#include "host/globals.h"
#include "host/pool.h"
#include "host/kernel_handle.h"
#include "linalg/cpu_count.h"
#include "linalg/packed.h"
#include "linalg/sweep.h"
#include "matrices.h"
#include "support/host_fixture.h"

namespace {

using Matrix = std::vector<double>;

// A random symmetric matrix made positive definite by a dominant diagonal.
Matrix dominant_matrix(int n, unsigned seed) {
  Matrix x = testmat::random_packed(n, seed);
  for (int i = 0; i < n; ++i) x[zisub(i, i)] += n + 1.0;
  return x;
}

int thread_count() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/task")) {
    while (dirent* e = readdir(dir)) count += e->d_name[0] != '.';
    closedir(dir);
  }
  return count;
}

// The thread count once the exiting workers have left the process: a joined
// thread's task can linger for a moment after the join returns.
int settled_thread_count(int expected) {
  int count = thread_count();
  for (int i = 0; i < 200 && count != expected; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    count = thread_count();
  }
  return count;
}

int g_host_steps = 0;
void* g_host_step = nullptr;
void counting_step(double* x, long k, long n, char* df, double* work, double tol) {
  ++g_host_steps;
  reinterpret_cast<decltype(&counting_step)>(g_host_step)(x, k, n, df, work, tol);
}
int g_polls = 0;
int counting_poll() { return ++g_polls, 0; }

class ThreadedSweepTest : public HostTest {
 protected:
  ~ThreadedSweepTest() override {
    if (g_host_step) host().replace_service(11, 2, g_host_step);
    g_host_step = nullptr;
  }
  void count_host_steps() {
    g_host_steps = 0;
    g_host_step = host().replace_service(11, 2, reinterpret_cast<void*>(&counting_step));
  }
  void** handle_slots() { return static_cast<void**>(host().qx_handle_area()); }

  // Sweeps pivots 0..pivots-1 (chosen by size) of x with `threads`.
  static int sweep(Matrix& x, int n, int pivots, std::string& df, int threads,
                   SweepControl* control = nullptr) {
    df.assign(n, '0');
    std::vector<double> work(n);
    return zsweepr(x.data(), 0, pivots - 1, n, df.data(), nullptr, work.data(), 1e-10, nullptr, "",
                   control, threads);
  }
};

// Block i of k ends at the row r with r^2 = (i+1)/k of n^2: every block
// holds the same share of the triangle. One thread, or fewer rows than the
// cutoff, sweep without threads unless forced.
TEST_F(ThreadedSweepTest, BlocksOfEqualTriangleArea) {
  struct Case { int threads, rows, force; std::vector<int> ends; };
  for (const Case& c : {Case{4, 1000, 0, {500, 707, 866, 1000}}, Case{4, 10, 1, {5, 7, 8, 10}},
                        Case{1, 1000, 0, {}}, Case{8, 249, 0, {}}}) {
    SweepControl control{};
    ASSERT_EQ(zpsweepi(c.threads, c.rows, 0, c.force, &control), 0);
    EXPECT_EQ(control.noThreadsFlag, c.ends.empty() ? 1 : 0);
    for (std::size_t i = 0; i < c.ends.size(); ++i) {
      EXPECT_EQ(control.parms[i].start, i ? c.ends[i - 1] : 0);
      EXPECT_EQ(control.parms[i].end, c.ends[i]);
      EXPECT_EQ(control.parms[i].numRows, c.rows);
    }
    zpsweept(&control);
  }
}

TEST_F(ThreadedSweepTest, EqualsTheSingleThreadedSweepBitForBit) {
  struct Case { int n, pivots; };
  for (const Case& c : {Case{251, 251}, Case{257, 257}, Case{400, 400}, Case{500, 120},
                        Case{1000, 60}, Case{2000, 24}}) {
    const Matrix original = dominant_matrix(c.n, c.n);
    Matrix single = original;
    std::string single_df;
    EXPECT_EQ(sweep(single, c.n, c.pivots, single_df, 0), c.pivots);
    for (int threads = 1; threads <= 8; ++threads) {
      Matrix threaded = original;
      std::string df;
      SweepControl forced{};
      SweepControl* control = nullptr;
      if (threads == 1) {  // one worker thread needs a forced control
        zpsweepi(1, c.n, 0, 1, &forced);
        control = &forced;
      }
      EXPECT_EQ(sweep(threaded, c.n, c.pivots, df, threads, control), c.pivots);
      if (control) zpsweept(control);
      EXPECT_EQ(df, single_df);
      EXPECT_EQ(std::memcmp(threaded.data(), single.data(), single.size() * sizeof(double)), 0)
          << c.n << " rows, " << threads << " threads";
    }
  }
}

// A control without threads sweeps on the step's thread; a threaded sweep
// without room for its threads' storage goes to the host's steps. Either
// way the result is the single-threaded sweep's.
TEST_F(ThreadedSweepTest, WithoutThreadsTheSweepIsTheSingleThreadedOne) {
  const int n = 300;
  const Matrix original = dominant_matrix(n, 7);
  Matrix single = original;
  std::string single_df;
  ASSERT_EQ(sweep(single, n, n, single_df, 0), n);
  for (bool room : {true, false}) {
    Matrix x = original;
    std::string df;
    if (room) {
      SweepControl control{};
      ASSERT_EQ(zpsweepi(1, n, 0, 0, &control), 0);
      EXPECT_EQ(control.noThreadsFlag, 1);
      EXPECT_EQ(sweep(x, n, n, df, 4, &control), n);
      zpsweept(&control);
    } else {
      platform::Pool& pool = host().task_pool();
      pool.set_budget(pool.bytes_held() + sizeof(SweepControl) + 1);  // the control, not its threads
      EXPECT_EQ(sweep(x, n, n, df, 4), n);
      pool.set_budget(0);
    }
    EXPECT_EQ(df, single_df);
    EXPECT_EQ(std::memcmp(x.data(), single.data(), single.size() * sizeof(double)), 0) << room;
  }
}

TEST_F(ThreadedSweepTest, MoreThan250RowsGoToThreadsAndTheCpuCountDecides) {
  count_host_steps();
  std::string df;
  Matrix x = dominant_matrix(250, 1);
  sweep(x, 250, 5, df, 8);
  EXPECT_EQ(g_host_steps, 5);
  g_host_steps = 0;
  x = dominant_matrix(251, 1);
  sweep(x, 251, 5, df, 8);
  EXPECT_EQ(g_host_steps, 0);

  // A negative count asks the named value "host.cpucount".
  static QXStatus status;
  static long long cpus;
  auto name_get = [](QX_HNDL_S*, const QXChar* name, QXStrSize length, int type, void* result,
                     QXMemSize*) -> QXStatus {
    EXPECT_EQ(length, 13);
    EXPECT_EQ(type, 3);
    EXPECT_EQ(name[4], '.');
    std::memcpy(result, &cpus, 8);
    return status;
  };
  void* saved = handle_slots()[14];
  handle_slots()[14] = reinterpret_cast<void*>(+name_get);
  status = 0;
  cpus = 3 + (7LL << 32);  // only the low 32 bits count
  g_host_steps = 0;
  sweep(x, 251, 5, df, -1);
  EXPECT_EQ(g_host_steps, 0);
  status = static_cast<QXStatus>(0x803fc26a);  // a failed read leaves one thread
  sweep(x, 251, 5, df, -1);
  EXPECT_EQ(g_host_steps, 5);
  handle_slots()[14] = nullptr;  // no named values: the processors the system has
  EXPECT_EQ(host_cpu_count(), std::max(1, static_cast<int>(std::thread::hardware_concurrency())));
  handle_slots()[14] = saved;
}

TEST_F(ThreadedSweepTest, InvalidAndRefusedPivotsChangeNothing) {
  const int n = 300;
  SweepControl c{};
  zpsweepi(3, n, 0, 0, &c);
  Matrix x = dominant_matrix(n, 2);
  const Matrix before = x;
  std::string df(n, '0');
  void* old_poll = host().replace_service(0, 211, reinterpret_cast<void*>(&counting_poll));
  g_polls = 0;
  zpsweep(x.data(), n, df.data(), 0.0, &c);
  EXPECT_NE(log_text().find("sweep: invalid k: 300"), std::string::npos);
  zpsweep(x.data(), 0, df.data(), 1e9, &c);  // below the tolerance: no poll either
  EXPECT_EQ(g_polls, 0);
  EXPECT_EQ(x, before);
  EXPECT_EQ(c.time, 0.0);
  zpsweep(x.data(), 0, df.data(), 0.0, &c);
  EXPECT_EQ(g_polls, 1);
  EXPECT_EQ(df[0], '1');
  EXPECT_GT(c.time, 0.0);
  host().replace_service(0, 211, old_poll);
  zpsweept(&c);
}

// A pool failure ends the step with 1012, and every worker thread is gone
// afterwards: the driver releases its pool however the call ends.
TEST_F(ThreadedSweepTest, FailuresEndTheStepWithoutLeavingThreads) {
  const int baseline = thread_count();
  static auto body = [] {
    Matrix x = dominant_matrix(300, 3);
    std::string df;
    sweep(x, 300, 10, df, 4);
  };
  void* saved_event = handle_slots()[2];
  handle_slots()[2] = reinterpret_cast<void*>(+[](QX_HNDL_S*, QXEventCreateParms*, void*, void*) {
    return static_cast<QXEvent*>(nullptr);
  });
  EXPECT_EQ(run_as_step([] { body(); }), 1012);
  EXPECT_NE(log_text().find("zpudlwt failed"), std::string::npos);
  EXPECT_EQ(settled_thread_count(baseline), baseline);
  handle_slots()[2] = saved_event;

  void* saved_load = handle_slots()[9];
  handle_slots()[9] = nullptr;
  EXPECT_EQ(run_as_step([] { body(); }), 1012);
  EXPECT_NE(log_text().find("qxExtensionLoad failed in zpudi: the extension qxepdl could not be loaded"), std::string::npos);
  // An extension that cannot make a pool is still unloaded.
  static int unloaded = 0;
  static TPDLExtension no_pools{{nullptr, "qxepdl", [](void*) { ++unloaded; }},
                                [](TPDLExtension*, TPDLCreateParms*, void*, void*) {
                                  return static_cast<Puddle*>(nullptr);
                                }};
  handle_slots()[9] = reinterpret_cast<void*>(
      +[](QX_HNDL_S*, const QXChar*, QXStrSize, int) -> void* { return &no_pools; });
  EXPECT_EQ(run_as_step([] { body(); }), 1012);
  EXPECT_NE(log_text().find("tpdlCreate failed in zpudi"), std::string::npos);
  EXPECT_EQ(unloaded, 1);
  handle_slots()[9] = saved_load;
  EXPECT_EQ(run_as_step([] { body(); }), 0);
  EXPECT_EQ(settled_thread_count(baseline), baseline);
  // Without the flag, zpudi reports a failure by its result.
  PuddleControl pc{};
  handle_slots()[9] = nullptr;
  EXPECT_EQ(zpudi(&pc, 2, 0, nullptr), 1);
  handle_slots()[9] = saved_load;
  EXPECT_EQ(zpudi(&pc, 0, 0, nullptr), 2);
  zpudt(&pc);
}

}  // namespace
