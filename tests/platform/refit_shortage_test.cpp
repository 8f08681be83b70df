// The refit engine when its threads run out of memory, made without
// exhausting it: every allocation of this test program goes through the
// replacement below, which, once armed, fails every allocation from a
// chosen one on, either of the engine's threads (the test's own, which
// reads the records and waits, spared) or of the test's thread alone.
// Wherever the shortage falls (a thread's frame, a task's optimiser, a
// share of another task's pass, the queueing of a batch), the batch ends,
// with QXPROF_OUT_OF_MEMORY or the caller's std::bad_alloc, no task is left
// running, and the engine's next batch gives the results of a batch that
// never met one. A task that throws anything else ends its batch as
// failed; the tasks not begun do not run and those running stop.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <thread>

#include "platform/refit/refit_task.h"
#include "support/refit_driver.h"
#include "support/refit_fixture.h"

namespace {

enum class Shortage { kNone, kOtherThreads, kThisThread };
std::atomic<Shortage> g_shortage{Shortage::kNone};
std::atomic<long> g_allocations_before_shortage{0};
thread_local bool t_arming = false;  // the thread that armed the shortage

bool short_here() {
  switch (g_shortage.load(std::memory_order_relaxed)) {
    case Shortage::kOtherThreads: return !t_arming;
    case Shortage::kThisThread: return t_arming;
    default: return false;
  }
}

void arm(Shortage where, long allocations_before) {
  t_arming = true;
  g_allocations_before_shortage = allocations_before;
  g_shortage = where;
}

void disarm() {
  g_shortage = Shortage::kNone;
  t_arming = false;
}

void* take(std::size_t n) {
  if (short_here() && g_allocations_before_shortage.fetch_sub(1, std::memory_order_relaxed) <= 0)
    throw std::bad_alloc();
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t n) { return take(n); }
void* operator new[](std::size_t n) { return take(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  try {
    return take(n);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

using refit_driver::Data;
using refit_driver::Driver;

class RefitShortage : public RefitHostTest {};

// Estimates, objective and code of every task, or nothing when the batch failed.
std::vector<std::vector<double>> batch(Driver& d, int tasks, std::vector<double>& start) {
  std::vector<QXPROF_TASK_DESC> descs;
  for (int k = 0; k < tasks; ++k) descs.push_back(d.task(k, start.data()));
  std::vector<std::vector<double>> out;
  for (const QXPROF_RESULT* r : d.run(descs)) {
    out.emplace_back(r->parm_array, r->parm_array + start.size());
    out.back().insert(out.back().end(), {*r->obj_val_ptr, double(r->qxznlo_rc), double(r->n_func)});
  }
  return out;
}

// 30,000 observations and a program that leaves some out: its passes run
// through the interpreter and are shared with the idle threads.
TEST_F(RefitShortage, AShortageAnywhereOnTheThreadsEndsTheBatch) {
  const Data data = refit_driver::decay_curve(30000);
  const std::string text = " if x > 9.5 then delete ;" + refit_driver::model_text("b1 * exp(-b2 * x) + b3");
  std::vector<double> start = {4.5, 0.35, 1.2};
  const auto clean = [&] {
    Driver d(data, text, {"b1", "b2", "b3"}, 8);
    EXPECT_EQ(d.declare(), 0);
    return batch(d, 2, start);
  }();
  ASSERT_EQ(clean.size(), 2u);
  ASSERT_GT(clean[0][4], 0);
  int met = 0;
  for (long before : {0L, 1L, 2L, 3L, 5L, 8L, 13L, 21L, 34L, 55L, 89L, 144L, 233L, 377L, 610L, 987L}) {
    SCOPED_TRACE(before);
    Driver d(data, text, {"b1", "b2", "b3"}, 8);
    ASSERT_EQ(d.declare(), 0);
    arm(Shortage::kOtherThreads, before);
    const auto short_of_memory = batch(d, 2, start);
    disarm();
    if (g_allocations_before_shortage.load() < 0) {
      ++met;
      EXPECT_EQ(d.waited, QXPROF_OUT_OF_MEMORY);
      EXPECT_TRUE(short_of_memory.empty());
    } else {
      EXPECT_EQ(short_of_memory, clean);
    }
    EXPECT_EQ(batch(d, 2, start), clean);
  }
  EXPECT_GE(met, 10);
}

// One thread takes the tasks in order: the first throws, and none after it
// runs. On four threads the three others are inside their tasks when it
// does, and stop at their next pass.
TEST_F(RefitShortage, ATaskThatThrowsStopsItsBatch) {
  const Data data = refit_driver::zigzag_line();
  static std::atomic<int> responses;
  static std::atomic<bool> others_inside;
  for (int threads : {1, 4}) {
    SCOPED_TRACE(threads);
    Driver d(data, refit_driver::model_text("b1 + b2 * x"), {"b1", "b2"}, threads);
    ASSERT_EQ(d.declare(), 0);
    responses = 0;
    others_inside = threads == 1;
    d.on_response = [](std::int32_t id) {
      ++responses;
      if (id != 0) {
        while (!others_inside.load()) std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return;
      }
      while (responses.load() < 4 && !others_inside.load()) std::this_thread::yield();
      others_inside = true;
      throw std::runtime_error("not a refit failure");
    };
    std::vector<double> start = {0.5, 0.5};
    EXPECT_TRUE(batch(d, 16, start).empty());
    EXPECT_EQ(d.waited, QXPROF_BATCH_FAILED);
    EXPECT_EQ(responses.load(), threads);
    std::vector<QXPROF_RESULT*> results(16);
    ASSERT_EQ(d.ops().get_results_by_id_array(d.instance(), nullptr, nullptr, -1, results.data()), 0);
    for (int k = 1; k < 16; ++k) EXPECT_EQ(results[static_cast<std::size_t>(k)]->qxznlo_rc, platform::refit::kTaskStopped) << k;
    d.on_response = nullptr;
    const auto again = batch(d, 3, start);
    ASSERT_EQ(again.size(), 3u);
    EXPECT_GT(again[2][3], 0);
  }
}

// The caller's thread short of memory while it queues a batch, at each of
// the allocations that queueing makes in turn: profile() throws, and only
// once the tasks it had queued have ended, so that the caller may release
// what they read; the next batch runs whole.
TEST_F(RefitShortage, AShortageWhileQueueingLeavesNoTaskRunning) {
  Driver d(refit_driver::zigzag_line(), refit_driver::model_text("b1 + b2 * x"), {"b1", "b2"}, 4);
  ASSERT_EQ(d.declare(), 0);
  static std::atomic<int> responses;
  d.on_response = [](std::int32_t) { ++responses; };
  std::vector<double> start = {0.5, 0.5};
  const int n = 150;
  const auto clean = batch(d, n, start);
  ASSERT_EQ(clean.size(), static_cast<std::size_t>(n));
  std::vector<QXPROF_TASK_DESC> descs;
  for (int k = 0; k < n; ++k) descs.push_back(d.task(k, start.data()));
  long before = 0;
  for (;; ++before) {
    ASSERT_EQ(d.ops().reset(d.instance(), nullptr, nullptr, n, 0), 0);
    ASSERT_EQ(d.ops().define_prof_tasks(d.instance(), nullptr, descs.data(), n), 0);
    bool threw = false;
    arm(Shortage::kThisThread, before);
    try {
      d.ops().profile(d.instance(), nullptr);
    } catch (const std::bad_alloc&) {
      threw = true;
    }
    disarm();
    if (!threw) break;
    const int seen = responses.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(responses.load(), seen) << before;
  }
  EXPECT_EQ(d.ops().wait_until_done(d.instance(), nullptr), 0);
  EXPECT_GE(before, 2);  // the queue grows in blocks: tasks were queued before each
  EXPECT_EQ(batch(d, n, start), clean);
}

}  // namespace
