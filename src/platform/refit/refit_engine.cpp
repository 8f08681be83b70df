#include "platform/refit/refit_engine.h"

#include <algorithm>
#include <chrono>
#include <new>

#include "platform/threads/worker_pool.h"

namespace platform::refit {
namespace {

constexpr std::int64_t kReadChunk = 65536;  // records per call of the data reader

std::atomic<std::uint64_t> g_serials{0};

// The frame slot of the current thread in the engine of that serial.
struct ThreadSlot {
  std::uint64_t serial = 0;
  std::size_t slot = 0;
};
thread_local ThreadSlot t_slot;

std::string text_of(const QXPROF_STRING& s) { return s.str && s.len > 0 ? std::string(s.str, s.len) : ""; }

}  // namespace

RefitEngine::RefitEngine(const QXPROF_PARMS& p)
    : text_(p.model.based.text.text, static_cast<std::size_t>(std::max(p.model.based.text.len, 0))),
      objective_(text_of(p.model.based.text.objf_name_s)),
      n_threads_(std::max(p.perf.n_threads, 1)),
      n_parms_expected_(p.model.n_parms),
      data_(p.data),
      n_computed_(std::max(p.model.n_comp_vars, 0)),
      serial_(++g_serials) {
  done_event_.event = {{nullptr, "qxprof.event", nullptr}, &RefitEngine::post};
}

std::unique_ptr<RefitEngine> RefitEngine::create(const QXPROF_PARMS& p) {
  if (p.model.type != FROM_TEXT || !p.model.based.text.text || p.model.based.text.len <= 0 ||
      !p.model.based.text.objf_name_s.str || p.model.n_parms < 0)
    return nullptr;
  std::unique_ptr<RefitEngine> e(new RefitEngine(p));
  TPDLCreateParms pool{};
  pool.min = pool.max = static_cast<std::size_t>(e->n_threads_);
  // Every request catches what it throws (run_request): nothing is left
  // for the pool to report, and a request is never run twice.
  pool.logic = reinterpret_cast<TPDLLogicFn>(&RefitEngine::run_request);
  pool.ctxt = e.get();
  pool.flags = kPoolLongRequests;
  e->pool_ = WorkerPool::create(pool, nullptr);
  // The request is valid, so threads that could not start lacked the
  // memory for their stacks.
  if (!e->pool_) throw std::bad_alloc();
  return e;
}

RefitEngine::~RefitEngine() {
  stopping_ = true;
  delete pool_;  // finishes what is queued, then joins the threads
}

int RefitEngine::define_parms(const QXPROF_PARM_INFO* info, int n) {
  if (compiled_ || !info || n < 1 || (n_parms_expected_ > 0 && n != n_parms_expected_)) return 1;
  std::vector<std::string> names(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    const QXPROF_PARM_INFO& p = info[i];
    if (p.index < 0 || p.index >= n || !p.name || p.name_len <= 0) return 1;
    std::string& slot = names[static_cast<std::size_t>(p.index)];
    if (!slot.empty()) return 1;  // two parameters at one index
    slot.assign(p.name, static_cast<std::size_t>(p.name_len));
  }
  parm_names_ = std::move(names);
  return 0;
}

int RefitEngine::define_vars(const QXPROF_VAR_INFO* info, int n) {
  if (compiled_ || parm_names_.empty() || (n > 0 && !info) || n < 0) return 1;
  vars_.assign(info, info + n);
  var_names_.clear();
  lag_columns_.clear();
  lag_max_.clear();
  for (const QXPROF_VAR_INFO& v : vars_) {
    var_names_.push_back(text_of(v.name_s));
    if (v.type == COMPUTED_VAR) {
      if (v.u.comp_index < 0) return 1;
      n_computed_ = std::max(n_computed_, v.u.comp_index + 1);
      if (v.lag_on) {
        lag_columns_.push_back(v.u.comp_index);
        lag_max_.push_back(v.max_lag);
      }
    } else if (v.u.offset < 0 || v.u.offset + (v.numeric ? 8 : v.byte_len) > data_.record_size) {
      return 1;
    }
  }
  lags_ = {static_cast<std::int32_t>(lag_columns_.size()), lag_columns_.data(), lag_max_.data(), nullptr};
  if (model_.compile(text_, objective_, parm_names_, vars_, var_names_) != 0) return 1;
  compiled_ = true;
  // One frame per pool thread (and a spare); each thread makes its own, so
  // that what one thread writes at every observation shares no cache line
  // with another's.
  frames_.resize(static_cast<std::size_t>(n_threads_) + 1);
  return 0;
}

int RefitEngine::define_tasks(const QXPROF_TASK_DESC* tasks, int n) {
  if (!compiled_ || !tasks || n < 0 || !done()) return 1;
  for (int i = 0; i < n; ++i) {
    auto t = std::make_unique<RefitTask>();
    if (!t->define(tasks[i], model_.n_parms(), data_.n_obs)) return 1;
    tasks_.push_back(std::move(t));
  }
  return 0;
}

int RefitEngine::read_records() {
  const std::int64_t size = std::max(data_.record_size, 0);
  records_.clear();
  n_records_ = 0;
  if (!data_.data_reader) return data_.n_obs > 0 ? 1 : 0;
  for (;;) {
    const std::int64_t want = data_.n_obs > n_records_ ? std::min(data_.n_obs - n_records_, kReadChunk) : kReadChunk;
    records_.resize(static_cast<std::size_t>((n_records_ + want) * size));
    QXPROF_DATA_CB_ARGS a{data_.d_user_ptr, records_.data() + n_records_ * size,
                          static_cast<std::int32_t>(size), static_cast<std::int32_t>(want), -1, 0};
    const int rc = data_.data_reader(&a);
    if (a.n_act_recs_read < 0 || a.n_act_recs_read > want) return 1;
    n_records_ += a.n_act_recs_read;
    if (rc != 0 || a.n_act_recs_read == 0) break;
  }
  records_.resize(static_cast<std::size_t>(n_records_ * size));
  observations_ = {records_.data(), static_cast<std::int32_t>(size), nullptr, 0, nullptr, n_records_};
  if (n_threads_ > 1) observations_.helpers = this;
  return 0;
}

int RefitEngine::profile() {
  if (!compiled_ || !done()) return 1;
  pool_->quiesce();
  if (pool_->reset() != 0 || read_records() != 0) return 1;
  requests_.assign(tasks_.size(), {});
  stopping_ = false;
  failure_ = 0;
  finished_ = 0;
  queued_ = tasks_.size();
  unclaimed_ = static_cast<int>(tasks_.size());
  {
    std::lock_guard lock(done_event_.mutex);
    done_event_.posted = false;
  }
  for (std::size_t i = 0; i < tasks_.size(); ++i) {
    requests_[i].task = tasks_[i].get();
    QXStatus queued = 1;
    try {
      queued = pool_->enqueue(&requests_[i]);
    } catch (...) {
      abandon_batch(i);
      throw;
    }
    if (queued != 0) {
      abandon_batch(i);
      return 1;
    }
  }
  return 0;
}

// A batch that cannot be queued whole ends with the tasks that were: they
// stop (those not begun do not run), and the engine waits for them, so that
// nothing of the caller's that they read is released under them.
void RefitEngine::abandon_batch(std::size_t queued) {
  stopping_ = true;
  unclaimed_.fetch_sub(static_cast<int>(tasks_.size() - queued), std::memory_order_relaxed);
  queued_ = queued;
  pool_->quiesce();
}

Frame* RefitEngine::frame_of_this_thread(std::unique_ptr<Frame>* spare) {
  if (t_slot.serial != serial_) t_slot = {serial_, next_frame_.fetch_add(1)};
  if (t_slot.slot < frames_.size()) {
    std::unique_ptr<Frame>& frame = frames_[t_slot.slot];
    if (!frame) frame = model_.new_frame();
    return frame.get();
  }
  *spare = model_.new_frame();  // more threads than expected: a frame for this task alone
  return spare->get();
}

void RefitEngine::run_request(void* context, void* request, void*, void*) {
  auto* e = static_cast<RefitEngine*>(context);
  auto* r = static_cast<Request*>(request);
  if (r->task) {
    e->run_task(*r->task);
    return;
  }
  e->run_help(std::unique_ptr<Request>(r));
}

void RefitEngine::run_task(RefitTask& task) {
  unclaimed_.fetch_sub(1, std::memory_order_relaxed);
  running_.fetch_add(1, std::memory_order_relaxed);
  // A stopped batch leaves the tasks not yet begun with their failed result.
  if (!stopping_.load(std::memory_order_relaxed)) {
    try {
      std::unique_ptr<Frame> spare;
      if (Frame* frame = frame_of_this_thread(&spare))
        task.run(*frame, observations_, n_computed_, lags_, &stopping_);
    } catch (...) {
      fail_batch(std::current_exception());
    }
  }
  running_.fetch_sub(1, std::memory_order_relaxed);
  signal_finished();
}

void RefitEngine::run_help(std::unique_ptr<Request> r) {
  try {
    std::unique_ptr<Frame> spare;
    if (Frame* frame = frame_of_this_thread(&spare)) r->pass->help(*frame);
  } catch (...) {
    fail_batch(std::current_exception());
  }
  r.reset();
  helping_.fetch_sub(1, std::memory_order_relaxed);
}

// A task or a share of a pass that threw (out of memory, most likely) ends
// the batch: the tasks still running stop at their next pass, those not
// begun do not run, and wait_until_done says why. A shortage of memory
// outranks any other failure, since it is likely behind them.
void RefitEngine::fail_batch(const std::exception_ptr& what) noexcept {
  int kind = QXPROF_BATCH_FAILED;
  try {
    std::rethrow_exception(what);
  } catch (const std::bad_alloc&) {
    kind = QXPROF_OUT_OF_MEMORY;
  } catch (...) {
  }
  int seen = failure_.load(std::memory_order_relaxed);
  while (seen < kind && !failure_.compare_exchange_weak(seen, kind, std::memory_order_relaxed)) {
  }
  stopping_.store(true, std::memory_order_relaxed);
}

// Threads are idle only when every task has begun: until then a free
// thread takes the next task.
int RefitEngine::idle() const {
  if (unclaimed_.load(std::memory_order_relaxed) > 0) return 0;
  return std::max(0, n_threads_ - running_.load(std::memory_order_relaxed) -
                         helping_.load(std::memory_order_relaxed));
}

void RefitEngine::call(const std::shared_ptr<SharedPass>& pass, int count) {
  for (int i = 0; i < count; ++i) {
    auto r = std::make_unique<Request>(Request{nullptr, pass});
    helping_.fetch_add(1, std::memory_order_relaxed);
    QXStatus queued = 1;
    try {
      queued = pool_->enqueue(r.get());
    } catch (...) {
      helping_.fetch_sub(1, std::memory_order_relaxed);
      throw;
    }
    if (queued != 0) {
      helping_.fetch_sub(1, std::memory_order_relaxed);
      return;
    }
    r.release();  // the request's own thread deletes it
  }
}

void RefitEngine::signal_finished() {
  if (finished_.fetch_add(1, std::memory_order_acq_rel) + 1 < queued_) return;
  std::lock_guard lock(finished_mutex_);
  finished_cv_.notify_all();
}

QXStatus RefitEngine::post(QXEvent* e) {
  auto* d = reinterpret_cast<DoneEvent*>(e);
  std::lock_guard lock(d->mutex);
  d->posted = true;
  d->posted_cv.notify_all();
  return 0;
}

int RefitEngine::wait_until_done() {
  // The tasks first, so that the pool's wait finds none left to run on
  // this thread; then the pool's own end of the batch.
  {
    std::unique_lock lock(finished_mutex_);
    finished_cv_.wait(lock, [&] { return done(); });
  }
  if (pool_->wait(&done_event_.event) != 0) return QXPROF_BATCH_FAILED;
  std::unique_lock lock(done_event_.mutex);
  done_event_.posted_cv.wait(lock, [&] { return done_event_.posted; });
  return failure_.load(std::memory_order_relaxed);
}

int RefitEngine::wait_for(int msec) {
  std::unique_lock lock(finished_mutex_);
  finished_cv_.wait_for(lock, std::chrono::milliseconds(std::max(msec, 0)), [&] { return done(); });
  return done() ? 0 : 1;
}

int RefitEngine::stop() {
  stopping_ = true;
  return 0;
}

int RefitEngine::results(const std::int32_t* ids, int n, QXPROF_RESULT** out) {
  if (!out || !done()) return 1;
  if (!ids || n < 0) {
    for (std::size_t i = 0; i < tasks_.size(); ++i) out[i] = tasks_[i]->result();
    return 0;
  }
  for (int i = 0; i < n; ++i) {
    auto it = std::find_if(tasks_.begin(), tasks_.end(), [&](const auto& t) { return t->id() == ids[i]; });
    if (it == tasks_.end()) return 1;
    out[i] = (*it)->result();
  }
  return 0;
}

int RefitEngine::reset(const QXPROF_DATA_DESC* data) {
  pool_->quiesce();
  if (data) {
    if (data->record_size != data_.record_size) return 1;  // the variables' offsets would not fit
    data_ = *data;
  }
  tasks_.clear();
  requests_.clear();
  queued_ = 0;
  finished_ = 0;
  unclaimed_ = 0;
  return 0;
}

}  // namespace platform::refit
