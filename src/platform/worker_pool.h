// The worker pool behind the extension "qxepdl": a fixed set of persistent
// threads that run the pool's request function once per queued request.
// Idle threads spin briefly before they block, because the threaded sweep
// queues its next batch a few microseconds after the last one finished.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "host/qx_puddle.h"

namespace platform {

class WorkerPool {
 public:
  // Starts `threads` threads; null when a thread cannot be started.
  static WorkerPool* create(const TPDLCreateParms& parms, void* oven);
  ~WorkerPool();  // finishes the queued requests, then joins every thread
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  Puddle* puddle() { return &entry_.table; }
  static WorkerPool* from(Puddle* p) { return reinterpret_cast<Entry*>(p)->owner; }

  QXStatus enqueue(void* request);
  QXStatus quiesce();
  QXStatus reset();
  QXStatus wait(QXEvent* event);

 private:
  explicit WorkerPool(const TPDLCreateParms& parms);
  void run_worker();
  void* take();
  void finish();
  void stop_threads();

  // The function table handed out, with the way back to its pool.
  struct Entry {
    Puddle table;  // first member, so a Puddle* is an Entry*
    WorkerPool* owner;
  };
  Entry entry_;
  TPDLLogicFn logic_;
  TPDLLogicFn failure_;
  QXMemPtr context_;
  std::vector<std::thread> threads_;

  std::mutex mutex_;
  std::condition_variable work_ready_;  // a request was queued, or stop
  std::condition_variable idle_;        // the last open request finished
  std::deque<void*> queue_;
  std::atomic<long> queued_{0};    // requests in the queue, read by spinners
  std::atomic<long> open_{0};      // queued or running requests
  QXEvent* armed_ = nullptr;       // posted when open_ drops to 0
  int sleepers_ = 0;               // threads blocked on work_ready_
  bool accepting_ = true;
  bool stopping_ = false;
};

}  // namespace platform
