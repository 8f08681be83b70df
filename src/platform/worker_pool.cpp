// The worker pool: a queue under one lock, a count of queued requests that
// idle threads can spin on without the lock, and a count of open requests
// whose drop to zero posts the armed event.
#include "platform/worker_pool.h"

#include <system_error>

#include "platform/spin_wait.h"

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
    : entry_{{}, this}, logic_(parms.logic), failure_(parms.failure), context_(parms.ctxt) {
  entry_.table.enqueue = &pool_enqueue;
  entry_.table.quiesce = &pool_quiesce;
  entry_.table.reset = &pool_reset;
  entry_.table.wait = &pool_wait;
}

WorkerPool* WorkerPool::create(const TPDLCreateParms& parms, void* oven) {
  if (!parms.logic || parms.min < 1) return nullptr;
  auto* pool = new WorkerPool(parms);
  pool->entry_.table.gen = {oven, "puddle", &pool_destroy};
  try {
    for (std::size_t i = 0; i < parms.min; ++i) pool->threads_.emplace_back([pool] { pool->run_worker(); });
  } catch (const std::system_error&) {
    delete pool;  // stops the threads that did start
    return nullptr;
  }
  return pool;
}

WorkerPool::~WorkerPool() { stop_threads(); }

void WorkerPool::stop_threads() {
  {
    std::lock_guard lock(mutex_);
    accepting_ = false;
    stopping_ = true;
  }
  work_ready_.notify_all();
  for (std::thread& t : threads_)
    if (t.joinable()) t.join();
  threads_.clear();
}

QXStatus WorkerPool::enqueue(void* request) {
  std::lock_guard lock(mutex_);
  if (!accepting_) return kPoolRefused;
  queue_.push_back(request);
  open_.fetch_add(1, std::memory_order_relaxed);
  queued_.fetch_add(1, std::memory_order_release);
  if (sleepers_ > 0) work_ready_.notify_one();
  return 0;
}

// Stops accepting requests and waits until the open ones have finished.
QXStatus WorkerPool::quiesce() {
  std::unique_lock lock(mutex_);
  accepting_ = false;
  idle_.wait(lock, [this] { return open_.load() == 0; });
  return 0;
}

QXStatus WorkerPool::reset() {
  std::lock_guard lock(mutex_);
  if (open_.load() != 0 || stopping_) return kPoolRefused;
  accepting_ = true;
  return 0;
}

QXStatus WorkerPool::wait(QXEvent* event) {
  if (!event || !event->post) return kPoolRefused;
  {
    std::lock_guard lock(mutex_);
    if (armed_) return kPoolRefused;  // one waiter at a time
    if (open_.load() != 0) {
      armed_ = event;
      return 0;
    }
  }
  event->post(event);  // nothing open: post at once
  return 0;
}

void WorkerPool::run_worker() {
  while (void* request = take()) {
    try {
      logic_(context_, request, nullptr, nullptr);
    } catch (...) {
      // A request function must not throw across the pool; report it as
      // failed when the creator asked for that.
      if (failure_) failure_(context_, request, nullptr, nullptr);
    }
    finish();
  }
}

// The next request, or null when the pool stops and its queue is empty.
void* WorkerPool::take() {
  spin_until([this] { return queued_.load(std::memory_order_acquire) > 0; });
  std::unique_lock lock(mutex_);
  while (queue_.empty() && !stopping_) {
    ++sleepers_;
    work_ready_.wait(lock);
    --sleepers_;
  }
  if (queue_.empty()) return nullptr;
  void* request = queue_.front();
  queue_.pop_front();
  queued_.fetch_sub(1, std::memory_order_relaxed);
  return request;
}

void WorkerPool::finish() {
  if (open_.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
  QXEvent* event = nullptr;
  {
    // Check again under the lock: the waiter may have found the pool idle,
    // posted its own event and queued the next batch meanwhile, and that
    // batch's event must wait for that batch.
    std::lock_guard lock(mutex_);
    if (open_.load(std::memory_order_relaxed) != 0) return;
    event = armed_;
    armed_ = nullptr;
  }
  idle_.notify_all();
  if (event) event->post(event);
}

}  // namespace platform
