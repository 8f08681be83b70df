// Drives the refit engine "qxprof" and the record file "qxrec" as the
// procedure does, both loaded by name through the kernel library: the input
// columns go into a record file, the engine pulls them through a data
// reader (which checks that it is never entered twice at once) and gets the
// response as computed variable 0 from a callback; the model text assigns
// MODEL.y and the squared residual to the objective.
#pragma once

#include <atomic>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "host/globals.h"
#include "host/kernel_handle.h"
#include "host/ext_refit_engine_qxprof.h"

namespace refit_driver {

inline void* load_extension(const char* name) {
  using Load = void* (*)(QX_HNDL_S*, const QXChar*, QXStrSize, int);
  std::vector<QXChar> wide(name, name + std::strlen(name));
  return reinterpret_cast<Load>(Exported_QXHandle->loadExtension)(Exported_QXHandle, wide.data(),
                                                                    static_cast<QXStrSize>(wide.size()), 0);
}

inline std::string model_text(const std::string& model) {
  return " MODEL.y = " + model + " ; _P_WEIGHTED_SSE_ = ( MODEL.y - y ) * ( MODEL.y - y ) ;";
}

struct Data {
  std::vector<std::string> inputs;          // names of the record's fields
  std::vector<std::vector<double>> columns;  // one per input
  std::vector<double> y;                    // the response
  std::vector<std::string> g;               // when given, a character input "g" of 8 bytes last
};

// y = 5 exp(-0.4 x) + 1 with a little noise on n points of x in [0, 10):
// for b1 exp(-b2 x) + b3.
inline Data decay_curve(int n) {
  Data data;
  data.inputs = {"x"};
  data.columns.resize(1);
  for (int i = 0; i < n; ++i) {
    const double x = 10.0 * i / n;
    data.columns[0].push_back(x);
    data.y.push_back(5 * std::exp(-0.4 * x) + 1 + 0.05 * std::sin(12.9898 * i));
  }
  return data;
}

// y = 1 + 2x with a zigzag of ±0.25 on x = 0..9.
inline Data zigzag_line() {
  Data data;
  data.inputs = {"x"};
  data.columns.resize(1);
  for (int i = 0; i < 10; ++i) {
    data.columns[0].push_back(i);
    data.y.push_back(1.0 + 2.0 * i + ((i % 3) - 1) * 0.25);
  }
  return data;
}

class Driver {
 public:
  Driver(const Data& data, const std::string& text, const std::vector<std::string>& parms, int threads,
         std::int64_t memory_limit = 0)
      : data_(data), text_(text), parms_(parms) {
    prof_ext_ = static_cast<QXPROF_EXTENSION*>(load_extension("qxprof"));
    rec_ext_ = static_cast<QXREC_EXTENSION*>(load_extension("qxrec"));
    if (!prof_ext_ || !rec_ext_) return;
    rec_ = rec_ext_->create_instance(rec_ext_, nullptr);
    const QXREC_PARMS rp{record_size(), static_cast<std::int64_t>(data.y.size()), 1, nullptr, 0, memory_limit};
    file_ = rec_->FactoryPtr->MakeFile(rec_, &rp);
    std::vector<double> record(static_cast<std::size_t>(record_size()) / 8);
    for (std::size_t i = 0; i < data.y.size(); ++i) {
      for (std::size_t j = 0; j < data.inputs.size(); ++j) record[j] = data.columns[j][i];
      if (!data.g.empty()) {
        std::string text = data.g[i];
        text.resize(8, ' ');
        std::memcpy(&record.back(), text.data(), 8);
      }
      rec_->FactoryPtr->AddRecord(rec_, file_, record.data());
    }
    QXPROF_PARMS p{};
    p.dims.n_tasks = 1;
    p.perf = {1, threads, 100};
    p.data = descriptor();
    p.model.n_parms = static_cast<std::int32_t>(parms.size());
    p.model.n_vars = static_cast<std::int32_t>(data.inputs.size() + 1);
    p.model.n_comp_vars = 1;
    p.model.type = FROM_TEXT;
    p.model.based.text = {{"_P_WEIGHTED_SSE_", 16}, text_.c_str(), static_cast<std::int32_t>(text_.size())};
    inst_ = prof_ext_->create_instance(prof_ext_, nullptr, &p);
  }
  ~Driver() {
    if (inst_) inst_->FactoryPtr->destroy_instance(inst_, nullptr);
    if (file_) rec_->FactoryPtr->TruncateFile(rec_, file_);
    if (rec_) rec_->gen.destroy(rec_);
    if (rec_ext_) rec_ext_->gen.destroy(rec_ext_);
    if (prof_ext_) prof_ext_->gen.destroy(prof_ext_);
  }
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;

  QXPROF_INSTANCE* instance() { return inst_; }
  QXPROF_FACTORY& ops() { return *inst_->FactoryPtr; }

  // Declares the parameters and the variables (y computed, the inputs read).
  int declare() {
    std::vector<QXPROF_PARM_INFO> pi;
    for (std::size_t i = 0; i < parms_.size(); ++i)
      pi.push_back({parms_[i].c_str(), static_cast<std::int32_t>(parms_[i].size()), static_cast<std::int32_t>(i)});
    if (ops().define_parms(inst_, nullptr, pi.data(), static_cast<std::int32_t>(pi.size())) != 0) return 1;
    std::vector<QXPROF_VAR_INFO> vi;
    QXPROF_VAR_INFO y{};
    y.type = COMPUTED_VAR;
    y.u.comp_index = 0;
    y.numeric = true;
    y.byte_len = 8;
    y.name_s = {"y", 1};
    vi.push_back(y);
    for (std::size_t j = 0; j < data_.inputs.size(); ++j) {
      QXPROF_VAR_INFO v = y;
      v.index = static_cast<std::int32_t>(j + 1);
      v.type = DATASET_VAR;
      v.u.offset = static_cast<std::int32_t>(8 * j);
      v.name_s = {data_.inputs[j].c_str(), static_cast<std::int32_t>(data_.inputs[j].size())};
      vi.push_back(v);
    }
    if (!data_.g.empty()) {
      QXPROF_VAR_INFO g = vi.back();
      g.index = static_cast<std::int32_t>(vi.size());
      g.type = DATASET_VAR;
      g.u.offset = static_cast<std::int32_t>(8 * data_.inputs.size());
      g.numeric = false;
      g.name_s = {"g", 1};
      vi.push_back(g);
    }
    return ops().define_vars(inst_, nullptr, vi.data(), static_cast<std::int32_t>(vi.size()));
  }

  // A task as the procedure fills it: minimise from `start`, no constraints.
  QXPROF_TASK_DESC task(std::int32_t id, double* start) {
    QXPROF_TASK_DESC t{};
    t.task_id = id;
    t.no_hess_flag = true;
    t.t_user_ptr = this;
    t.computed_vars_cb = &response;
    t.missing_policy = ONLY_OBJ;
    t.nlo_u_opt.min_max_type = MIN;
    t.nlo_u_opt.parm_start_vals = start;
    t.nlo_u_opt.tech = 10;
    t.nlo_u_opt.maxi = 1000;
    t.nlo_u_opt.maxf = 20000;
    t.nlo_u_opt.atol = 1e-6;
    t.nlo_u_opt.ftol = 1e-10;
    t.constr_type = UNCONSTR;
    return t;
  }

  // One batch: reset (after the first), define, run, wait; results in task
  // order, none when the batch failed.
  std::vector<QXPROF_RESULT*> run(const std::vector<QXPROF_TASK_DESC>& tasks) {
    const QXPROF_DATA_DESC d = descriptor();
    const auto n = static_cast<std::int32_t>(tasks.size());
    std::vector<QXPROF_RESULT*> out(tasks.size());
    if ((batches_++ > 0 && ops().reset(inst_, nullptr, &d, n, 0) != 0) ||
        ops().define_prof_tasks(inst_, nullptr, tasks.data(), n) != 0 || ops().profile(inst_, nullptr) != 0 ||
        (waited = ops().wait_until_done(inst_, nullptr)) != 0 ||
        ops().get_results_by_id_array(inst_, nullptr, nullptr, -1, out.data()) != 0)
      return {};
    return out;
  }

  int waited = 0;  // what the last batch's wait_until_done returned
  std::atomic<int> reader_calls{0};
  std::atomic<bool> reader_overlap{false};
  // Called by the response callback with the task id before it answers.
  void (*on_response)(std::int32_t task_id) = nullptr;
  std::atomic<int> fail_task{-1};  // the callback fails for this task

 private:
  std::int32_t record_size() const { return static_cast<std::int32_t>(8 * (data_.inputs.size() + !data_.g.empty())); }
  QXPROF_DATA_DESC descriptor() { return {static_cast<std::int64_t>(data_.y.size()), record_size(), this, &reader}; }

  static int reader(QXPROF_DATA_CB_ARGS* a) {
    auto* self = static_cast<Driver*>(a->d_user_ptr);
    if (self->inside_.exchange(true)) self->reader_overlap = true;
    ++self->reader_calls;
    a->first_obs_index = self->next_;
    a->n_act_recs_read = 0;
    auto* out = static_cast<unsigned char*>(a->buffer);
    while (a->n_act_recs_read < a->n_recs_to_read &&
           self->rec_->FactoryPtr->LoadRecord(self->rec_, self->file_, self->next_,
                                               out + a->n_act_recs_read * a->buf_rec_size) == 0) {
      ++a->n_act_recs_read;
      ++self->next_;
    }
    if (a->n_act_recs_read == 0) a->first_obs_index = -1;
    const bool more = a->n_act_recs_read == a->n_recs_to_read && self->next_ != static_cast<std::int64_t>(self->data_.y.size());
    if (!more) self->next_ = 0;
    self->inside_ = false;
    return more ? 0 : -1;
  }

  static int response(QXPROF_COMP_VARS_CB_ARGS* a) {
    auto* self = static_cast<Driver*>(a->t_user_ptr);
    if (self->on_response) self->on_response(a->task_id);
    if (a->task_id == self->fail_task) return 1;
    for (std::int32_t k = 0; k < a->n_rows_to_compute; ++k)
      a->comp_buffer[k * a->n_comp_vars] = self->data_.y[static_cast<std::size_t>(a->first_obs_index + k)];
    a->n_rows_computed = a->n_rows_to_compute;
    return 0;
  }

  Data data_;
  std::string text_;
  std::vector<std::string> parms_;
  QXPROF_EXTENSION* prof_ext_ = nullptr;
  QXREC_EXTENSION* rec_ext_ = nullptr;
  QXREC_INSTANCE* rec_ = nullptr;
  QXREC_FILE* file_ = nullptr;
  QXPROF_INSTANCE* inst_ = nullptr;
  int batches_ = 0;
  std::atomic<bool> inside_{false};
  std::int64_t next_ = 0;
};

}  // namespace refit_driver
