// The refit engine behind the extension "qxprof": the model compiled once,
// batches of refit tasks run whole on the threads of a worker pool, one
// frame (executor) per thread, and the results kept in task order.
//
// The step's thread reads the batch's records through the data reader
// (never concurrently) before the tasks are queued; the workers then read
// only the shared records and their own task, so the results do not depend
// on the number of threads or on which thread ran which task. Once every
// task of a batch has begun, a task's passes are shared with the threads
// left idle (refit_pass_shared.h), with the same sums.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/kernel_events.h"
#include "host/ext_refit_engine_qxprof.h"
#include "platform/refit/refit_pass_frame.h"
#include "platform/refit/refit_task.h"
#include "platform/refit/refit_pass_shared.h"

namespace platform {
class WorkerPool;
}

namespace platform::refit {

class RefitEngine : private PassHelpers {
 public:
  // Null when the parameters are unusable; throws std::bad_alloc when the
  // threads cannot be started (no room for their stacks).
  static std::unique_ptr<RefitEngine> create(const QXPROF_PARMS& parms);
  ~RefitEngine() override;
  RefitEngine(const RefitEngine&) = delete;
  RefitEngine& operator=(const RefitEngine&) = delete;

  // Each returns 0, or nonzero when refused.
  int define_parms(const QXPROF_PARM_INFO* info, int n);
  int define_vars(const QXPROF_VAR_INFO* info, int n);  // compiles the model
  int define_tasks(const QXPROF_TASK_DESC* tasks, int n);
  int profile();
  int stop();
  bool done() const { return finished_.load(std::memory_order_acquire) >= queued_; }
  // 0, QXPROF_OUT_OF_MEMORY or QXPROF_BATCH_FAILED (a task or the pool
  // failed: the batch was stopped and its results are not to be used).
  int wait_until_done();
  // 0 when done within `msec` milliseconds, 1 when still running.
  int wait_for(int msec);
  // One result per id (all tasks in task order when ids is null or n < 0).
  int results(const std::int32_t* ids, int n, QXPROF_RESULT** out);
  int reset(const QXPROF_DATA_DESC* data);

 private:
  // A request of the pool: a task of the batch, or a pass to help with.
  struct Request {
    RefitTask* task = nullptr;
    std::shared_ptr<SharedPass> pass;
  };

  explicit RefitEngine(const QXPROF_PARMS& parms);
  static void run_request(void* context, void* request, void* thread, void* callbacks);
  void run_task(RefitTask& task);
  void run_help(std::unique_ptr<Request> r);
  void fail_batch(const std::exception_ptr& what) noexcept;
  void abandon_batch(std::size_t queued);
  int idle() const override;
  void call(const std::shared_ptr<SharedPass>& pass, int count) override;
  Frame* frame_of_this_thread(std::unique_ptr<Frame>* spare);
  int read_records();
  void signal_finished();

  struct DoneEvent {
    QXEvent event;  // first, so that the event is its QXEvent
    std::mutex mutex;
    std::condition_variable posted_cv;
    bool posted = false;
  };
  static QXStatus post(QXEvent* e);

  std::string text_, objective_;
  int n_threads_;
  int n_parms_expected_;
  QXPROF_DATA_DESC data_;
  std::vector<std::string> parm_names_;
  std::vector<QXPROF_VAR_INFO> vars_;
  std::vector<std::string> var_names_;
  int n_computed_ = 0;
  std::vector<std::int32_t> lag_columns_, lag_max_;
  QXPROF_LAG_INFO lags_{};

  RefitModel model_;
  bool compiled_ = false;
  std::uint64_t serial_;                       // tells this engine's frames from another's
  std::vector<std::unique_ptr<Frame>> frames_;  // one per thread, made by that thread
  std::atomic<std::size_t> next_frame_{0};

  std::vector<std::unique_ptr<RefitTask>> tasks_;
  std::vector<Request> requests_;  // one per task, queued by profile()
  std::vector<unsigned char> records_;
  std::int64_t n_records_ = 0;
  Observations observations_;

  WorkerPool* pool_ = nullptr;
  DoneEvent done_event_;
  std::atomic<bool> stopping_{false};
  std::atomic<int> failure_{0};  // the batch's failure: 0 or a wait_until_done code
  std::atomic<std::size_t> finished_{0};
  std::atomic<std::size_t> queued_{0};
  // Tasks queued but not begun, tasks running, and help requests queued or
  // running: what tells the threads that are idle.
  std::atomic<int> unclaimed_{0}, running_{0}, helping_{0};
  std::mutex finished_mutex_;
  std::condition_variable finished_cv_;
};

}  // namespace platform::refit
