#include "platform/refit/refit_pass_frame.h"

#include <algorithm>
#include <cstring>

#include "host/missing.h"
#include "platform/compiler/executor.h"
#include "platform/refit/refit_pass_shared.h"

namespace platform::refit {

// One compiled program's executor and the cells a pass reads and writes.
class Frame::Cells {
 public:
  Cells(std::unique_ptr<compiler::Executor> executor, RefitModel::Compiled& program,
        const std::vector<QXPROF_VAR_INFO>& vars);
  // Sets the parameters and starts a pass; the options of its runs.
  compiler::RunOptions start(const double* x, bool derivatives);
  // Runs the program for observation k with its record and computed row.
  int run(const Observations& obs, std::int64_t k, const double* row, const compiler::RunOptions& options);
  // The objective of the last run, or null when it is not usable.
  const double* term(int rc) const {
    return rc == compiler::kRunNormal && objective && !is_missing(*objective) ? objective : nullptr;
  }

  std::unique_ptr<compiler::Executor> executor;
  std::vector<double> g;  // the current observation's gradient
  std::vector<double*> parms, hessian;  // null: zero
  std::vector<const double*> gradient;  // &zero for a derivative that is zero
  const double zero = 0.0;
  double* objective = nullptr;
  struct Input {
    double* cell;
    std::int32_t where;  // byte offset in the record, or column of the computed row
  };
  std::vector<Input> record_inputs, computed_inputs;
  // The cells of the lagged variables in declaration order (a cell of the
  // frame's own when the program never reads the variable).
  std::vector<double*> lagged;
  double unread_lag = 0;
  // Left-out observations still run, when the program carries values, so
  // that the others see the values the fit's pass gave them.
  bool carries = false;
  struct Text {
    char* text;            // the variable's text in the frame
    std::int32_t length;   // bytes copied from the record
    std::int32_t offset;   // byte offset in the record
  };
  std::vector<Text> texts;
};

Frame::Cells::Cells(std::unique_ptr<compiler::Executor> e, RefitModel::Compiled& m,
                    const std::vector<QXPROF_VAR_INFO>& vars)
    : executor(std::move(e)) {
  auto cell = [&](const CMPSYM* s) { return s ? compiler::executor_cell(*executor, &m.cmp, s) : nullptr; };
  for (CMPSYM* p : m.program.parms) parms.push_back(cell(p));
  for (CMPSYM* d : m.program.gradient) {
    const double* c = cell(d);
    gradient.push_back(c ? c : &zero);
  }
  for (CMPSYM* d : m.program.hessian) hessian.push_back(cell(d));
  objective = cell(m.program.objective);
  g.resize(parms.size());
  for (std::size_t i = 0; i < vars.size(); ++i) {
    const QXPROF_VAR_INFO& v = vars[i];
    const CMPSYM* sym = m.var_syms[i];
    if (v.type == DATASET_VAR && !v.numeric) {
      char* t = sym ? compiler::executor_text(*executor, &m.cmp, sym) : nullptr;
      if (t) texts.push_back({t, std::min(v.byte_len, sym->length), v.u.offset});
      continue;
    }
    // A variable the program never reads has no cell.
    double* c = cell(sym);
    if (v.type == COMPUTED_VAR && v.lag_on) lagged.push_back(c ? c : &unread_lag);
    if (!c) continue;
    if (v.type == COMPUTED_VAR) computed_inputs.push_back({c, v.u.comp_index});
    else record_inputs.push_back({c, v.u.offset});
  }
  const compiler::Program& program = executor->program();
  carries = !lagged.empty() || !program.pass_inits.empty() || !program.pass_char_inits.empty();
}

compiler::RunOptions Frame::Cells::start(const double* x, bool derivatives) {
  for (std::size_t j = 0; j < parms.size(); ++j)
    if (parms[j]) *parms[j] = x[j];
  compiler::RunOptions options;
  options.derivatives = derivatives;
  options.record_errors = false;
  options.put = false;
  executor->start_pass();
  return options;
}

int Frame::Cells::run(const Observations& obs, std::int64_t k, const double* row,
                      const compiler::RunOptions& options) {
  executor->prepare_observation();
  const unsigned char* record = obs.records + k * obs.record_size;
  for (const Input& in : record_inputs) std::memcpy(in.cell, record + in.where, sizeof(double));
  for (const Input& in : computed_inputs) *in.cell = row[in.where];
  for (const Text& t : texts) std::memcpy(t.text, record + t.offset, static_cast<std::size_t>(t.length));
  compiler::RunCounts counts;
  return executor->run(0, options, &counts);
}

std::unique_ptr<Frame> Frame::make(RefitModel::Compiled& first, RefitModel::Compiled& second,
                                   const std::vector<QXPROF_VAR_INFO>& vars) {
  auto executor = first.new_executor();
  if (!executor) return nullptr;
  return std::unique_ptr<Frame>(new Frame(std::make_unique<Cells>(std::move(executor), first, vars), second, vars));
}

Frame::Frame(std::unique_ptr<Cells> first, RefitModel::Compiled& second, const std::vector<QXPROF_VAR_INFO>& vars)
    : first_(std::move(first)), second_program_(second), vars_(vars) {}

Frame::~Frame() = default;

namespace {

constexpr std::int64_t kChunk = 4096;  // observations a thread of a shared pass claims at a time

bool skipped(const unsigned char* bits, std::int64_t k) {
  return bits && (bits[k / 8] & (0x80u >> (k % 8)));
}

}  // namespace

// The objective's term of an observation is a weighted squared residual
// F = w r^2, whose gradient is 2 w r r'. Its Hessian is taken in the
// Gauss-Newton form 2 w r' r'^T = g g^T / (2 F), which never has negative
// curvature (a full Newton step can stop at a saddle where two terms of a
// model merge). Where F is 0 the two forms agree, and there (and where a
// negative weight makes F negative) the analytic second derivatives are used.
void add_gauss_newton(const double* g, std::size_t np, double f, double* h) {
  const double scale = 0.5 / f;
  for (std::size_t a = 0, k = 0; a < np; ++a)
    for (std::size_t b = 0; b <= a; ++b, ++k) h[k] += scale * g[a] * g[b];
}

void Frame::evaluate(const double* x, const Observations& obs, Order order, Sums* out) {
  if (order != Order::kSecond) {
    const Shared shared = share(x, obs, order, out);
    if (shared == Shared::kSummed) return;
    if (shared == Shared::kNot && pass(*first_, x, obs, order, out)) return;
  }
  if (!second_) {
    auto executor = second_program_.new_executor();
    if (!executor) {  // cannot happen after the compile succeeded; fail the pass
      out->ok = false;
      return;
    }
    second_ = std::make_unique<Cells>(std::move(executor), second_program_, vars_);
  }
  pass(*second_, x, obs, Order::kSecond, out);
}

// A pass is shared when threads are idle and the program carries nothing
// from one observation to the next (no computed rows that do either).
Frame::Shared Frame::share(const double* x, const Observations& obs, Order order, Sums* out) {
  if (!obs.helpers || obs.rows || first_->carries || obs.n < 2 * kChunk) return Shared::kNot;
  const int idle = obs.helpers->idle();
  if (idle < 1) return Shared::kNot;
  const std::size_t np = first_->parms.size();
  if (!terms_) terms_ = std::make_unique<Terms>();
  const auto n = static_cast<std::size_t>(obs.n);
  terms_->outcome.resize(n);
  terms_->f.resize(n);
  terms_->g.resize(n * np);
  auto shared = std::make_shared<SharedPass>(x, obs, order, kChunk, terms_.get());
  obs.helpers->call(shared, static_cast<int>(std::min<std::int64_t>(idle, (obs.n - 1) / kChunk)));
  shared->help(*this);
  shared->close();
  return sum_terms(*terms_, obs.n, np, order, out) ? Shared::kSummed : Shared::kNeedsSecond;
}

void Frame::evaluate_chunk(const double* x, const Observations& obs, Order order, std::int64_t begin,
                           std::int64_t end, Terms* terms) {
  Cells& c = *first_;
  const std::size_t np = c.parms.size();
  const bool derivatives = order != Order::kValue;
  const compiler::RunOptions options = c.start(x, derivatives);
  for (std::int64_t k = begin; k < end; ++k) {
    Term& outcome = terms->outcome[static_cast<std::size_t>(k)];
    outcome = Term::kUnused;
    if (skipped(obs.skip, k)) continue;
    const int rc = c.run(obs, k, obs.computed + k * obs.n_computed, options);
    if (rc >= compiler::kRunStopped) {
      outcome = Term::kEnded;
      return;
    }
    const double* f = c.term(rc);
    if (!f) continue;
    terms->f[static_cast<std::size_t>(k)] = *f;
    outcome = Term::kUsed;
    if (!derivatives) continue;
    double* g = terms->g.data() + static_cast<std::size_t>(k) * np;
    for (std::size_t j = 0; j < np; ++j) g[j] = *c.gradient[j];
    if (!(*f > 0)) outcome = Term::kSecond;
  }
}

bool Frame::pass(Cells& c, const double* x, const Observations& obs, Order order, Sums* out) {
  const std::size_t np = c.parms.size();
  const bool derivatives = order != Order::kValue;
  out->start(np, order);
  const compiler::RunOptions options = c.start(x, derivatives);
  double* g = c.g.data();
  double* sum_g = out->g.data();
  double* sum_h = out->h.data();
  // Observations in order, as the fit's pass runs them: values the program
  // carries reach the next observation as the program left them.
  for (std::int64_t k = 0; k < obs.n; ++k) {
    const bool left_out = skipped(obs.skip, k);
    if (left_out && !c.carries) continue;
    const double* row = obs.rows ? obs.rows->row(k, c.lagged.data()) : obs.computed + k * obs.n_computed;
    if (!row) return true;
    const int rc = c.run(obs, k, row, options);
    if (rc >= compiler::kRunStopped) return true;
    const double* term = c.term(rc);
    if (left_out || !term) continue;
    const double f = *term;
    out->f += f;
    ++out->used;
    if (!derivatives) continue;
    for (std::size_t j = 0; j < np; ++j) g[j] = *c.gradient[j];
    for (std::size_t j = 0; j < np; ++j) sum_g[j] += g[j];
    if (f > 0) {
      add_gauss_newton(g, np, f, sum_h);
      continue;
    }
    if (order == Order::kFirst) return false;
    for (std::size_t j = 0; j < c.hessian.size(); ++j)
      if (c.hessian[j]) sum_h[j] += *c.hessian[j];
  }
  out->ok = true;
  return true;
}

}  // namespace platform::refit
