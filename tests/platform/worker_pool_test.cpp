// The worker-pool extension "qxepdl", kernel events and the host's gates.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <unistd.h>

#include <atomic>
#include <fstream>
#include <mutex>
#include <new>
#include <set>
#include <thread>
#include <vector>

#include "host/globals.h"
#include "host/kernel_handle.h"
#include "host/ext_worker_pools_qxepdl.h"
#include "host/services.h"
#include "platform/threads/worker_pool.h"
#include "support/host_fixture.h"

namespace {

struct Tally {
  std::atomic<int> runs{0};
  std::mutex mutex;
  std::set<std::thread::id> threads;
  std::atomic<bool> hold{false};
};

void count_request(QXMemPtr context, QXGenerich request, QXThreadh, TPDLCallBacksp) {
  auto* tally = static_cast<Tally*>(context);
  while (tally->hold.load()) std::this_thread::yield();
  static_cast<std::atomic<int>*>(request)->fetch_add(1);
  tally->runs.fetch_add(1);
  std::lock_guard lock(tally->mutex);
  tally->threads.insert(std::this_thread::get_id());
}

class WorkerPoolTest : public HostTest {
 protected:
  WorkerPoolTest() {
    using Load = void* (*)(QX_HNDL_S*, const QXChar*, QXStrSize, int);
    const QXChar name[] = {'q', 'x', 'e', 'p', 'd', 'l'};
    ext_ = static_cast<TPDLExtension*>(
        reinterpret_cast<Load>(Exported_QXHandle->loadExtension)(Exported_QXHandle, name, 6, 0));
  }
  ~WorkerPoolTest() override {
    if (pool_) {
      pool_->quiesce(pool_, nullptr, nullptr, nullptr);
      pool_->gen.destroy(pool_);
    }
    if (ext_) ext_->gen.destroy(ext_);
  }
  Puddle* create(std::size_t threads) {
    TPDLCreateParms parms{};
    parms.min = parms.max = threads;
    parms.logic = &count_request;
    parms.ctxt = &tally_;
    return pool_ = ext_->create(ext_, &parms, nullptr, nullptr);
  }
  // Waits for every open request through an event bound to a host gate.
  void wait_all() {
    QXForeignEvent foreign{};
    GATE gate{};
    ASSERT_EQ(wtforev(&foreign, &gate), 0);
    QXEventCreateParms parms{0, &foreign, nullptr, nullptr};
    QXEvent* event = reinterpret_cast<QXEventCreateFn>(Exported_QXHandle->eventCreate)(
        Exported_QXHandle, &parms, nullptr, nullptr);
    ASSERT_NE(event, nullptr);
    ASSERT_EQ(pool_->wait(pool_, event), 0);
    GATE* gates[1] = {&gate};
    EXPECT_EQ(wtgwait(0, 1, 1, gates), 0);
    EXPECT_EQ(gate.post, 1);
    event->gen.destroy(event);
  }

  TPDLExtension* ext_ = nullptr;
  Puddle* pool_ = nullptr;
  Tally tally_;
};

TEST_F(WorkerPoolTest, RunsEveryRequestOnceAcrossItsThreads) {
  ASSERT_NE(ext_, nullptr);
  ASSERT_NE(create(4), nullptr);
  for (int batch = 0; batch < 200; ++batch) {
    std::vector<std::atomic<int>> done(8);
    for (auto& d : done) ASSERT_EQ(pool_->enqueue(pool_, &d, nullptr, nullptr, nullptr), 0);
    wait_all();
    for (auto& d : done) ASSERT_EQ(d.load(), 1) << batch;  // all finished before the wait ended
    ASSERT_EQ(pool_->reset(pool_), 0);
  }
  EXPECT_EQ(tally_.runs.load(), 1600);
  // Pool threads, and the waiting thread for requests left unclaimed.
  EXPECT_LE(tally_.threads.size(), 5u);
}

TEST_F(WorkerPoolTest, WaitOnAnIdlePoolPostsAtOnceAndResetRefusesOpenWork) {
  ASSERT_NE(create(2), nullptr);
  wait_all();  // nothing queued
  std::atomic<int> done{0};
  tally_.hold = true;
  pool_->enqueue(pool_, &done, nullptr, nullptr, nullptr);
  EXPECT_NE(pool_->reset(pool_), 0);
  tally_.hold = false;
  wait_all();
  EXPECT_EQ(done.load(), 1);
  EXPECT_EQ(pool_->reset(pool_), 0);
  // A quiesced pool finishes what it holds and takes nothing new.
  pool_->enqueue(pool_, &done, nullptr, nullptr, nullptr);
  pool_->quiesce(pool_, nullptr, nullptr, nullptr);
  EXPECT_EQ(done.load(), 2);
  EXPECT_NE(pool_->enqueue(pool_, &done, nullptr, nullptr, nullptr), 0);
}

// A request dealt to a thread that is stuck in a long request is taken
// over: by an idle pool thread, or by the waiting thread when there is none.
TEST_F(WorkerPoolTest, RequestsOfABusyThreadAreTakenOver) {
  static std::atomic<bool> release, started;
  static std::atomic<int> stuck_runs, other_runs;
  static std::thread::id ran_on;
  TPDLCreateParms parms{};
  parms.logic = [](QXMemPtr, QXGenerich request, QXThreadh, TPDLCallBacksp) {
    if (request == &stuck_runs) {
      started = true;
      while (!release.load()) std::this_thread::yield();
      ++stuck_runs;
    } else {
      ran_on = std::this_thread::get_id();
      ++other_runs;
    }
  };
  for (std::size_t threads : {2, 1}) {
    release = started = false;
    stuck_runs = other_runs = 0;
    parms.min = parms.max = threads;
    pool_ = ext_->create(ext_, &parms, nullptr, nullptr);
    pool_->enqueue(pool_, &stuck_runs, nullptr, nullptr, nullptr);  // thread 0, held
    while (!started.load()) std::this_thread::yield();
    for (std::size_t i = 0; i < threads; ++i)  // the last one into thread 0's mailbox
      pool_->enqueue(pool_, &other_runs, nullptr, nullptr, nullptr);
    std::thread releaser([&] {
      for (int i = 0; i < 2000 && other_runs.load() < static_cast<int>(threads); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      EXPECT_EQ(stuck_runs.load(), 0);
      release = true;
    });
    if (threads == 2) releaser.join();  // an idle pool thread takes it over
    wait_all();                         // with one thread, the waiter does
    if (releaser.joinable()) releaser.join();
    EXPECT_EQ(other_runs.load(), static_cast<int>(threads));
    EXPECT_EQ(stuck_runs.load(), 1);
    if (threads == 1) {
      EXPECT_EQ(ran_on, std::this_thread::get_id());
    }
    pool_->gen.destroy(pool_);
    pool_ = nullptr;
  }
}

TEST_F(WorkerPoolTest, PoolsWithoutThreadsOrRequestFunctionAreRefused) {
  TPDLCreateParms parms{};
  parms.min = parms.max = 2;
  EXPECT_EQ(ext_->create(ext_, &parms, nullptr, nullptr), nullptr);
  parms.logic = &count_request;
  parms.min = 0;
  EXPECT_EQ(ext_->create(ext_, &parms, nullptr, nullptr), nullptr);
}

// Threads the system cannot make (no address space left for new stacks)
// refuse the pool; once there is room, it is made.
TEST_F(WorkerPoolTest, APoolWhoseThreadsCannotStartIsRefused) {
  std::ifstream statm("/proc/self/statm");
  double pages = 0;
  ASSERT_TRUE(statm >> pages);
  rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_AS, &before), 0);
  rlimit limit = before;
  limit.rlim_cur = static_cast<rlim_t>(pages * static_cast<double>(sysconf(_SC_PAGESIZE))) + (1 << 20);
  if (before.rlim_max != RLIM_INFINITY && before.rlim_max < limit.rlim_cur)
    GTEST_SKIP() << "the address space is limited already";
  ASSERT_EQ(setrlimit(RLIMIT_AS, &limit), 0);
  Puddle* refused = create(64);  // more stacks than the C library keeps from ended threads
  setrlimit(RLIMIT_AS, &before);
  EXPECT_EQ(refused, nullptr);
  ASSERT_NE(create(4), nullptr);
}

TEST_F(WorkerPoolTest, GatesAndEvents) {
  // An event created posted posts its gate at once.
  QXForeignEvent foreign{};
  GATE gate{};
  wtforev(&foreign, &gate);
  QXEventCreateParms parms{1, &foreign, nullptr, nullptr};
  QXEvent* event = reinterpret_cast<QXEventCreateFn>(Exported_QXHandle->eventCreate)(
      Exported_QXHandle, &parms, nullptr, nullptr);
  EXPECT_EQ(gate.post, 1);
  EXPECT_EQ(foreign.extEvent, event);
  event->gen.destroy(event);
  // A gate posted by another thread after the spin has given up.
  GATE late{};
  QXForeignEvent bound{};
  wtforev(&bound, &late);
  std::thread poster([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    bound.extPost(bound.context);
  });
  GATE* gates[1] = {&late};
  EXPECT_EQ(wtgwait(0, 1, 1, gates), 0);
  EXPECT_EQ(late.post, 1);
  poster.join();
  EXPECT_NE(wtgwait(0, 0, 1, gates), 0);
  EXPECT_NE(wtforev(nullptr, &late), 0);
  EXPECT_EQ(wtpoll(), 0);
}

double cpu_ms(int who) {
  rusage u{};
  getrusage(who, &u);
  return 1e3 * static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         1e-3 * static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}

// A full mailbox holds the queueing thread, blocked (it uses next to no
// processor time meanwhile), until the busy thread makes room; every
// request still runs once.
TEST_F(WorkerPoolTest, FullMailboxWaitsForRoom) {
  ASSERT_NE(create(1), nullptr);
  std::vector<std::atomic<int>> done(300);
  tally_.hold = true;
  std::atomic<bool> all_queued{false};
  double queuer_cpu = 0;
  std::thread queuer([&] {
    const double before = cpu_ms(RUSAGE_THREAD);
    for (auto& d : done) pool_->enqueue(pool_, &d, nullptr, nullptr, nullptr);
    queuer_cpu = cpu_ms(RUSAGE_THREAD) - before;
    all_queued = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(all_queued.load());  // more than a mailbox holds
  tally_.hold = false;
  queuer.join();
  EXPECT_LT(queuer_cpu, 50.0);
  wait_all();
  for (auto& d : done) EXPECT_EQ(d.load(), 1);
}

// A pool for long requests runs them in queue order (one thread), takes
// any number while its threads are busy, and its idle threads block: they
// use next to no processor time.
TEST_F(WorkerPoolTest, LongRequestsRunInOrderAndIdleThreadsSleep) {
  static std::vector<int> order;
  static std::atomic<bool> hold;
  TPDLCreateParms parms{};
  parms.min = parms.max = 1;
  parms.flags = platform::kPoolLongRequests;
  parms.logic = [](QXMemPtr, QXGenerich request, QXThreadh, TPDLCallBacksp) {
    while (hold.load()) std::this_thread::yield();
    order.push_back(*static_cast<int*>(request));
  };
  pool_ = ext_->create(ext_, &parms, nullptr, nullptr);
  ASSERT_NE(pool_, nullptr);
  std::vector<int> ids(1000);
  hold = true;
  for (int i = 0; i < 1000; ++i) {
    ids[static_cast<std::size_t>(i)] = i;
    ASSERT_EQ(pool_->enqueue(pool_, &ids[static_cast<std::size_t>(i)], nullptr, nullptr, nullptr), 0);
  }
  hold = false;
  wait_all();
  ASSERT_EQ(order.size(), 1000u);
  for (int i = 0; i < 1000; ++i) EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
  pool_->quiesce(pool_, nullptr, nullptr, nullptr);
  pool_->gen.destroy(pool_);
  parms.min = parms.max = 8;
  pool_ = ext_->create(ext_, &parms, nullptr, nullptr);
  ASSERT_NE(pool_, nullptr);
  const double before = cpu_ms(RUSAGE_SELF);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_LT(cpu_ms(RUSAGE_SELF) - before, 60.0);  // eight spinning threads would take 2400 ms
}

}  // namespace

// A request function that throws is reported once through the failure
// function, never run again; a failure function that throws in turn (out
// of memory once more) ends neither the thread nor the process, and the
// batch still ends: on both kinds of pool.
TEST_F(WorkerPoolTest, RequestsThatThrowAreReportedOnceAndStillFinish) {
  static std::atomic<int> runs, reports;
  TPDLCreateParms parms{};
  parms.min = parms.max = 3;
  parms.logic = [](QXMemPtr, QXGenerich, QXThreadh, TPDLCallBacksp) {
    ++runs;
    throw std::bad_alloc();
  };
  parms.failure = [](QXMemPtr, QXGenerich, QXThreadh, TPDLCallBacksp) {
    ++reports;
    throw std::bad_alloc();
  };
  for (unsigned flags : {0u, platform::kPoolLongRequests}) {
    runs = reports = 0;
    parms.flags = flags;
    pool_ = ext_->create(ext_, &parms, nullptr, nullptr);
    ASSERT_NE(pool_, nullptr);
    int ids[20];
    for (int& id : ids) ASSERT_EQ(pool_->enqueue(pool_, &id, nullptr, nullptr, nullptr), 0);
    wait_all();
    EXPECT_EQ(runs.load(), 20) << flags;
    EXPECT_EQ(reports.load(), 20) << flags;
    EXPECT_EQ(pool_->reset(pool_), 0) << flags;  // no request left open
    pool_->gen.destroy(pool_);
    pool_ = nullptr;
  }
}
