// The worker pool behind the extension "qxepdl": a fixed set of persistent
// threads that run the pool's request function once per queued request.
//
// A pool created for long requests (kPoolLongRequests, the refit engine's:
// each request runs for a millisecond or more) keeps them in one shared
// queue, taken in order by whichever thread is free; its threads block on
// a condition variable whenever they have nothing to do.
//
// Otherwise requests are dealt round-robin into one lock-free mailbox per thread, and
// reset() restarts the deal, so the i-th request of every batch goes to the
// same thread: a threaded sweep's block of rows then stays in that thread's
// cache from one step to the next. Idle threads spin briefly on their own
// mailbox before they block (the sweep queues its next batch a few
// microseconds after the last one ended); one that has spun a while takes
// over requests left waiting in other mailboxes, and so does the thread that
// waits for the batch. The open-request count and the
// "event armed" mark share one atomic word, so the thread that finishes the
// last request of a batch alone decides to post the waiter's event. A
// request queued to a full mailbox waits for room, blocked.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "host/ext_worker_pools_qxepdl.h"
#include "platform/threads/request_queue.h"

namespace platform {

// A creation flag: requests are long (see above).
inline constexpr unsigned int kPoolLongRequests = 0x1u;

class WorkerPool {
 public:
  // Starts parms.min threads; null when a thread cannot be started.
  static WorkerPool* create(const TPDLCreateParms& parms, void* oven);
  ~WorkerPool();  // finishes the queued requests, then joins every thread
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  Puddle* puddle() { return &entry_.table; }
  static WorkerPool* from(Puddle* p) { return reinterpret_cast<Entry*>(p)->owner; }

  QXStatus enqueue(void* request);
  // Stops accepting requests and waits (blocked) until the open ones have finished.
  QXStatus quiesce();
  // Accepts requests again and restarts the deal; refused while requests
  // are open.
  QXStatus reset();
  // Posts `event` when the open requests have finished (at once when none
  // are open). Unless the requests are long, those still unclaimed after a
  // brief spin are run on the calling thread first. One waiter at a time.
  QXStatus wait(QXEvent* event);

 private:
  // One thread's mailbox and its means of sleeping.
  struct Worker {
    RequestQueue mailbox{256};
    std::atomic<long> queued{0};
    std::atomic<bool> sleeping{false};
    std::atomic<int> waiting_for_room{0};  // queueing threads that found the mailbox full
    std::mutex mutex;
    std::condition_variable wake, room;
    std::thread thread;
  };

  explicit WorkerPool(const TPDLCreateParms& parms);
  void run_worker(Worker& self);
  void run(void* request);
  void report_failure(void* request) noexcept;
  void deal(void* request);
  void* take(Worker& self);
  void* take_in_order();
  bool has_work(Worker& self) const;
  void* pop(Worker& w);
  // A request waiting in another mailbox than self's (any, for null).
  void* steal(const Worker* self);
  void help_with_unclaimed();
  void sleep(Worker& self);
  void finish();
  void stop_threads();
  std::uint32_t open_requests() const {
    return static_cast<std::uint32_t>(state_.load(std::memory_order_acquire));
  }

  // The function table handed out, with the way back to its pool.
  struct Entry {
    Puddle table;  // first member, so a Puddle* is an Entry*
    WorkerPool* owner;
  };
  static constexpr std::uint64_t kArmed = 1ull << 63;

  Entry entry_;
  bool long_requests_;
  TPDLLogicFn logic_;
  TPDLLogicFn failure_;
  QXMemPtr context_;
  std::vector<std::unique_ptr<Worker>> workers_;
  // Each shared word that changes during a batch has a cache line of its
  // own: the spinning threads read `stopping_` all the time, and a line
  // shared with the open count would move between processors at every
  // request queued or finished.
  alignas(64) std::atomic<std::size_t> deal_{0};  // the next request's worker
  alignas(64) std::atomic<std::uint64_t> state_{0};  // open requests | kArmed
  QXEvent* armed_event_ = nullptr;  // posted by the last finisher when armed
  // The queue of a pool for long requests; the mutex also guards the
  // notice that no request is open.
  std::mutex queue_mutex_;
  std::condition_variable queued_cv_, idle_cv_;
  std::deque<void*> queue_;
  alignas(64) std::atomic<bool> accepting_{true};
  alignas(64) std::atomic<bool> stopping_{false};
};

}  // namespace platform
