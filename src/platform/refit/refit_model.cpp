#include "platform/refit/refit_model.h"

#include <algorithm>
#include <cstring>

#include "host/missing.h"
#include "host/services.h"
#include "platform/compiler/compiler.h"
#include "platform/compiler/executor.h"

namespace platform::refit {

RefitModel::RefitModel() = default;

RefitModel::~RefitModel() {
  if (initialised_) cmppurg(&cmp_);
}

int RefitModel::compile(const std::string& text, const std::string& objective, const std::vector<std::string>& parms,
                        const std::vector<QXPROF_VAR_INFO>& vars, const std::vector<std::string>& var_names) {
  if (initialised_) return 1;
  CMPINIT init{&nretain_, &vnum_, &seg_, 0, nullptr};
  if (cmpinit(&init, &cmp_) != 0) return 1;
  initialised_ = true;
  std::vector<compiler::DatasetVariable> inputs;
  // A lagged variable is retained by the program, as the fit's pass retains
  // it: its value reaches the next observation (where its row sets it to
  // that same value) and so does its derivative, which an input would not carry.
  std::string retained;
  for (std::size_t i = 0; i < vars.size(); ++i) {
    const bool numeric = vars[i].numeric || vars[i].type == COMPUTED_VAR;
    if (!numeric && vars[i].byte_len < 1) return 1;
    if (vars[i].type == COMPUTED_VAR && vars[i].lag_on) {
      retained += " " + var_names[i];
      continue;
    }
    inputs.push_back({var_names[i], numeric, numeric ? 8 : vars[i].byte_len, static_cast<int>(i) + 1});
  }
  const std::string program = retained.empty() ? text : "retain" + retained + " ; " + text;
  if (compiler::compile_objective_text(&cmp_, program, inputs, parms, objective, &program_) != 0 ||
      nretain_)
    return 1;
  compiler::Compiler* c = compiler::compiler_of(&cmp_);
  vars_ = vars;
  for (const std::string& name : var_names) {
    compiler::Symbol* s = c->symbols.find(name);
    var_syms_.push_back(s ? &s->pub : nullptr);
  }
  return 0;
}

std::unique_ptr<Frame> RefitModel::new_frame() {
  auto executor = compiler::new_executor(&cmp_);
  return executor ? std::make_unique<Frame>(std::move(executor), *this) : nullptr;
}

Frame::Frame(std::unique_ptr<compiler::Executor> executor, RefitModel& m) : executor_(std::move(executor)) {
  auto cell = [&](const CMPSYM* s) { return s ? compiler::executor_cell(*executor_, &m.cmp_, s) : nullptr; };
  for (CMPSYM* p : m.program_.parms) parms_.push_back(cell(p));
  for (CMPSYM* d : m.program_.gradient) gradient_.push_back(cell(d));
  for (CMPSYM* d : m.program_.hessian) hessian_.push_back(cell(d));
  objective_ = cell(m.program_.objective);
  g_.resize(parms_.size());
  for (std::size_t i = 0; i < m.vars_.size(); ++i) {
    const QXPROF_VAR_INFO& v = m.vars_[i];
    if (v.type == DATASET_VAR && !v.numeric) {
      char* text = m.var_syms_[i] ? compiler::executor_text(*executor_, &m.cmp_, m.var_syms_[i]) : nullptr;
      if (text) texts_.push_back({text, std::min(v.byte_len, m.var_syms_[i]->length), v.u.offset});
      continue;
    }
    // A variable the program never reads has no cell.
    double* c = cell(m.var_syms_[i]);
    if (v.type == COMPUTED_VAR && v.lag_on) lagged_.push_back(c ? c : &unread_lag_);
    if (!c) continue;
    inputs_.push_back({c, v.type == COMPUTED_VAR, v.type == COMPUTED_VAR ? v.u.comp_index : v.u.offset});
  }
  const compiler::Program& program = executor_->program();
  carries_ = !lagged_.empty() || !program.pass_inits.empty() || !program.pass_char_inits.empty();
}

Frame::~Frame() = default;

// The objective's term of an observation is a weighted squared residual
// F = w r^2, whose gradient is 2 w r r'. Its Hessian is taken in the
// Gauss-Newton form 2 w r' r'^T = g g^T / (2 F), which never has negative
// curvature (a full Newton step can stop at a saddle where two terms of a
// model merge); where F is 0 the two forms agree and the analytic second
// derivatives are used.
void Frame::add_derivatives(double f, Sums* out) {
  const std::size_t np = parms_.size();
  for (std::size_t j = 0; j < np; ++j) g_[j] = gradient_[j] ? *gradient_[j] : 0.0;
  for (std::size_t j = 0; j < np; ++j) out->g[j] += g_[j];
  if (f > 0) {
    const double scale = 0.5 / f;
    for (std::size_t a = 0, k = 0; a < np; ++a)
      for (std::size_t b = 0; b <= a; ++b, ++k) out->h[k] += scale * g_[a] * g_[b];
    return;
  }
  for (std::size_t k = 0; k < hessian_.size(); ++k)
    if (hessian_[k]) out->h[k] += *hessian_[k];
}

namespace {
bool skipped(const unsigned char* bits, std::int64_t k) {
  return bits && (bits[k / 8] & (0x80u >> (k % 8)));
}
}  // namespace

void Frame::evaluate(const double* x, const Observations& obs, bool derivatives, Sums* out) {
  const std::size_t np = parms_.size();
  out->f = 0;
  out->used = 0;
  out->ok = false;
  out->g.assign(np, 0.0);
  out->h.assign(np * (np + 1) / 2, 0.0);
  for (std::size_t j = 0; j < np; ++j)
    if (parms_[j]) *parms_[j] = x[j];
  compiler::RunOptions options;
  options.derivatives = derivatives;
  options.record_errors = false;
  options.put = false;
  executor_->start_pass();
  // Observations in order, as the fit's pass runs them: values the program
  // carries reach the next observation as the program left them.
  for (std::int64_t k = 0; k < obs.n; ++k) {
    const bool left_out = skipped(obs.skip, k);
    if (left_out && !carries_) continue;
    const double* row =
        obs.rows ? obs.rows->row(k, lagged_.data()) : obs.computed + k * obs.n_computed;
    if (!row) return;
    executor_->prepare_observation();
    const unsigned char* record = obs.records + k * obs.record_size;
    for (const Input& in : inputs_) {
      if (in.computed) *in.cell = row[in.where];
      else std::memcpy(in.cell, record + in.where, sizeof(double));
    }
    for (const Text& t : texts_) std::memcpy(t.text, record + t.offset, static_cast<std::size_t>(t.length));
    compiler::RunCounts counts;
    const int rc = executor_->run(0, options, &counts);
    if (rc >= compiler::kRunStopped) return;
    if (left_out || rc != compiler::kRunNormal || !objective_ || is_missing(*objective_)) continue;
    out->f += *objective_;
    ++out->used;
    if (!derivatives) continue;
    add_derivatives(*objective_, out);
  }
  out->ok = true;
}

}  // namespace platform::refit
