#include "platform/threads/worker_pool.h"

#include <chrono>
#include <system_error>

#include "platform/threads/spin_wait.h"

namespace platform {
namespace {

constexpr QXStatus kPoolRefused = static_cast<QXStatus>(0x803FC004u);

QXStatus pool_enqueue(Puddle* p, void* request, void*, void*, void*) {
  return WorkerPool::from(p)->enqueue(request);
}
QXStatus pool_quiesce(Puddle* p, void*, void*, void*) { return WorkerPool::from(p)->quiesce(); }
QXStatus pool_reset(Puddle* p) { return WorkerPool::from(p)->reset(); }
QXStatus pool_wait(Puddle* p, QXEvent* event) { return WorkerPool::from(p)->wait(event); }
void pool_destroy(void* self) { delete WorkerPool::from(static_cast<Puddle*>(self)); }

}  // namespace

WorkerPool::WorkerPool(const TPDLCreateParms& parms)
    : entry_{{}, this},
      long_requests_((parms.flags & kPoolLongRequests) != 0),
      logic_(parms.logic),
      failure_(parms.failure),
      context_(parms.ctxt) {
  entry_.table.enqueue = &pool_enqueue;
  entry_.table.quiesce = &pool_quiesce;
  entry_.table.reset = &pool_reset;
  entry_.table.wait = &pool_wait;
}

WorkerPool* WorkerPool::create(const TPDLCreateParms& parms, void* oven) {
  if (!parms.logic || parms.min < 1) return nullptr;
  // Owned until every thread has started: a shortage of memory on the way
  // (std::bad_alloc, which the caller reports) releases it too.
  std::unique_ptr<WorkerPool> pool(new WorkerPool(parms));
  pool->entry_.table.gen = {oven, "puddle", &pool_destroy};
  for (std::size_t i = 0; i < parms.min; ++i) pool->workers_.push_back(std::make_unique<Worker>());
  try {
    for (auto& w : pool->workers_) {
      Worker* self = w.get();
      WorkerPool* owner = pool.get();
      w->thread = std::thread([owner, self] { owner->run_worker(*self); });
    }
  } catch (const std::system_error&) {
    return nullptr;  // the threads that did start are stopped
  }
  return pool.release();
}

WorkerPool::~WorkerPool() { stop_threads(); }

void WorkerPool::stop_threads() {
  accepting_.store(false);
  stopping_.store(true, std::memory_order_seq_cst);
  {
    std::lock_guard lock(queue_mutex_);
    queued_cv_.notify_all();
  }
  for (auto& w : workers_) {
    {
      std::lock_guard lock(w->mutex);
      w->wake.notify_all();
    }
    if (w->thread.joinable()) w->thread.join();
  }
  workers_.clear();
}

QXStatus WorkerPool::enqueue(void* request) {
  if (!accepting_.load(std::memory_order_acquire)) return kPoolRefused;
  if (long_requests_) {
    // Counted once queued, so that a queue that cannot grow (out of
    // memory) leaves no open request behind; no thread takes it before the
    // lock is released.
    std::lock_guard lock(queue_mutex_);
    queue_.push_back(request);
    state_.fetch_add(1, std::memory_order_acq_rel);
    queued_cv_.notify_one();
  } else {
    state_.fetch_add(1, std::memory_order_acq_rel);
    deal(request);
  }
  return 0;
}

void WorkerPool::deal(void* request) {
  Worker& w = *workers_[deal_.fetch_add(1, std::memory_order_relaxed) % workers_.size()];
  if (!w.mailbox.push(request)) {
    // Full: the thread is busy. The count is raised before the retry, and
    // the thread reads it after each request it takes, so one of them sees
    // the other.
    std::unique_lock lock(w.mutex);
    w.waiting_for_room.fetch_add(1, std::memory_order_seq_cst);
    w.room.wait(lock, [&] { return w.mailbox.push(request); });
    w.waiting_for_room.fetch_sub(1, std::memory_order_relaxed);
  }
  // Sequentially consistent with the thread's sleeping mark, so that either
  // the thread sees the request before it sleeps or its sleep is seen here.
  w.queued.fetch_add(1, std::memory_order_seq_cst);
  if (w.sleeping.load(std::memory_order_seq_cst)) {
    std::lock_guard lock(w.mutex);
    w.wake.notify_one();
  }
}

QXStatus WorkerPool::quiesce() {
  accepting_.store(false);
  std::unique_lock lock(queue_mutex_);
  idle_cv_.wait(lock, [this] { return open_requests() == 0; });
  return 0;
}

QXStatus WorkerPool::reset() {
  if (open_requests() != 0 || stopping_.load()) return kPoolRefused;
  deal_.store(0, std::memory_order_relaxed);
  accepting_.store(true, std::memory_order_release);
  return 0;
}

QXStatus WorkerPool::wait(QXEvent* event) {
  if (!event || !event->post) return kPoolRefused;
  if (!long_requests_) help_with_unclaimed();
  std::uint64_t state = state_.load(std::memory_order_acquire);
  if (state & kArmed) return kPoolRefused;
  armed_event_ = event;
  for (;;) {
    if (static_cast<std::uint32_t>(state) == 0) {  // nothing open: post at once
      armed_event_ = nullptr;
      event->post(event);
      return 0;
    }
    if (state_.compare_exchange_weak(state, state | kArmed, std::memory_order_acq_rel,
                                     std::memory_order_acquire))
      return 0;
  }
}

// The waiting thread runs the requests that no pool thread has claimed
// after the pure spin: on a machine whose processors are all busy the pool
// threads may not run for milliseconds, and the batch then costs no more
// than running it here.
void WorkerPool::help_with_unclaimed() {
  const auto start = std::chrono::steady_clock::now();
  while (open_requests() != 0) {
    if (std::chrono::steady_clock::now() - start < kSpinOnly) continue;
    void* request = steal(nullptr);
    if (!request) return;
    run(request);
  }
}

void WorkerPool::run_worker(Worker& self) {
  while (void* request = long_requests_ ? take_in_order() : take(self)) run(request);
}

// The oldest queued request, blocked until there is one; null when the
// pool stops and the queue is empty.
void* WorkerPool::take_in_order() {
  std::unique_lock lock(queue_mutex_);
  queued_cv_.wait(lock, [this] { return !queue_.empty() || stopping_.load(std::memory_order_acquire); });
  if (queue_.empty()) return nullptr;
  void* request = queue_.front();
  queue_.pop_front();
  return request;
}

void WorkerPool::run(void* request) {
  try {
    logic_(context_, request, nullptr, nullptr);
  } catch (...) {
    // A request function must not throw across the pool; report it as
    // failed when the creator asked for that.
    report_failure(request);
  }
  finish();
}

// The failure function runs once per failed request and is never retried;
// what it throws in turn (it may run out of memory too) is dropped, so that
// the request still finishes and the thread lives on.
void WorkerPool::report_failure(void* request) noexcept {
  if (!failure_) return;
  try {
    failure_(context_, request, nullptr, nullptr);
  } catch (...) {
  }
}

// The next request for this thread, or null when the pool stops and the
// thread's mailbox is empty. A thread whose mailbox stays empty beyond the
// pure spin takes requests still waiting in other mailboxes: their owner
// has lost its processor, and the batch would wait for it.
void* WorkerPool::take(Worker& self) {
  for (;;) {
    if (void* request = pop(self)) return request;
    if (stopping_.load(std::memory_order_acquire)) return nullptr;
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
      if (has_work(self)) break;
      const auto spent = std::chrono::steady_clock::now() - start;
      if (spent >= kSpinOnly) {
        if (void* request = steal(&self)) return request;
        if (spent >= kSpinLimit) {
          sleep(self);
          break;
        }
        sched_yield();
      }
    }
  }
}

bool WorkerPool::has_work(Worker& self) const {
  for (int i = 0; i < 32; ++i)
    if (self.queued.load(std::memory_order_seq_cst) > 0 || stopping_.load(std::memory_order_seq_cst))
      return true;
  return false;
}

void* WorkerPool::pop(Worker& w) {
  void* request = w.mailbox.pop();
  if (!request) return nullptr;
  w.queued.fetch_sub(1, std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_seq_cst);  // the room made, before the mark is read
  if (w.waiting_for_room.load(std::memory_order_relaxed) > 0) {
    std::lock_guard lock(w.mutex);
    w.room.notify_all();
  }
  return request;
}

void* WorkerPool::steal(const Worker* self) {
  for (auto& w : workers_)
    if (w.get() != self && w->queued.load(std::memory_order_relaxed) > 0)
      if (void* request = pop(*w)) return request;
  return nullptr;
}

// Blocks until this thread's mailbox receives a request or the pool stops.
void WorkerPool::sleep(Worker& self) {
  std::unique_lock lock(self.mutex);
  self.sleeping.store(true, std::memory_order_seq_cst);
  while (!has_work(self)) self.wake.wait(lock);
  self.sleeping.store(false, std::memory_order_relaxed);
}

// The decrement that takes the open count to zero also reads the armed
// mark, so exactly one thread posts, and only for the batch it finished.
// While the mark is set the waiter is blocked and queues nothing new.
void WorkerPool::finish() {
  const std::uint64_t before = state_.fetch_sub(1, std::memory_order_acq_rel);
  if (static_cast<std::uint32_t>(before) == 1) {  // none open: tell a quiescing thread
    std::lock_guard lock(queue_mutex_);
    idle_cv_.notify_all();
  }
  if (before != (kArmed | 1)) return;
  QXEvent* event = armed_event_;
  armed_event_ = nullptr;
  state_.fetch_and(~kArmed, std::memory_order_acq_rel);
  event->post(event);
}

}  // namespace platform
