#include "platform/refit/refit_pass_frame.h"

#include <algorithm>
#include <cstring>

#include "host/missing.h"
#include "platform/compiler/api.h"
#include "platform/compiler/block_runner.h"
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
  // Moves observation k's values into the cells, as run does before it runs.
  void move_in(const Observations& obs, std::int64_t k, const double* row);
  // The gradient of the last run into g.
  void read_gradient() {
    for (std::size_t j = 0; j < g.size(); ++j) g[j] = *gradient[j];
  }
  // Adds an observation's term f, whose gradient is in g, to the sums; false
  // when a kFirst pass meets a term that needs the second derivatives.
  bool add(double f, Order order, Sums* out) const;
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
  // The program run over blocks of observations, for a program that carries
  // nothing and reads no text; null for another.
  std::unique_ptr<compiler::BlockRunner> blocks;

 private:
  void describe_blocks(CMPGLOBAL* cmp);
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
  if (!carries && texts.empty()) describe_blocks(&m.cmp);
}

// The inputs of a block are the record's and the computed row's values. A
// refit's executor is a copy, bound to no procedure storage: it has no
// external cells.
void Frame::Cells::describe_blocks(CMPGLOBAL* cmp) {
  blocks = std::make_unique<compiler::BlockRunner>(*executor);
  compiler::BlockFrame& frame = blocks->frame();
  const double* first = executor->cells();
  for (const auto* inputs : {&record_inputs, &computed_inputs})
    for (const Input& in : *inputs) frame.observed.push_back(static_cast<int>(in.cell - first));
  frame.temporary = compiler::temporary_cells(cmp);
}

compiler::RunOptions Frame::Cells::start(const double* x, bool derivatives) {
  for (std::size_t j = 0; j < parms.size(); ++j)
    if (parms[j]) *parms[j] = x[j];
  compiler::RunOptions options;
  options.derivatives = derivatives ? compiler::kFitDerivatives : compiler::kNoDerivatives;
  options.record_errors = false;
  options.put = false;
  executor->start_pass();
  return options;
}

void Frame::Cells::move_in(const Observations& obs, std::int64_t k, const double* row) {
  const unsigned char* record = obs.records + k * obs.record_size;
  for (const Input& in : record_inputs) std::memcpy(in.cell, record + in.where, sizeof(double));
  for (const Input& in : computed_inputs) *in.cell = row[in.where];
  for (const Text& t : texts) std::memcpy(t.text, record + t.offset, static_cast<std::size_t>(t.length));
}

int Frame::Cells::run(const Observations& obs, std::int64_t k, const double* row,
                      const compiler::RunOptions& options) {
  executor->prepare_observation();
  move_in(obs, k, row);
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
// from one observation to the next (no computed rows that do either), and
// only when it runs through the interpreter: a pass over blocks is so much
// faster that writing each observation's terms for the sum would cost more
// processor time than the helpers save.
Frame::Shared Frame::share(const double* x, const Observations& obs, Order order, Sums* out) {
  if (!obs.helpers || obs.rows || first_->carries || obs.n < 2 * kChunk) return Shared::kNot;
  if (blocks_run(*first_, obs, order != Order::kValue)) return Shared::kNot;
  const int idle = obs.helpers->idle();
  if (idle < 1) return Shared::kNot;
  const std::size_t np = first_->parms.size();
  if (!terms_) terms_ = std::make_unique<Terms>();
  const auto n = static_cast<std::size_t>(obs.n);
  terms_->outcome.resize(n);
  terms_->f.resize(n);
  terms_->g.resize(n * np);
  auto shared = std::make_shared<SharedPass>(x, obs, order, kChunk, terms_.get());
  // The pass is closed on every way out: a helper that starts later must
  // not read x or write the terms once this pass has ended.
  try {
    obs.helpers->call(shared, static_cast<int>(std::min<std::int64_t>(idle, (obs.n - 1) / kChunk)));
    shared->help(*this);
  } catch (...) {
    shared->close();
    throw;
  }
  shared->close();
  shared->rethrow_failure();
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

bool Frame::Cells::add(double f, Order order, Sums* out) const {
  out->f += f;
  ++out->used;
  if (order == Order::kValue) return true;
  const std::size_t np = g.size();
  for (std::size_t j = 0; j < np; ++j) out->g[j] += g[j];
  if (f > 0) {
    add_gauss_newton(g.data(), np, f, out->h.data());
    return true;
  }
  if (order == Order::kFirst) return false;
  for (std::size_t j = 0; j < hessian.size(); ++j)
    if (hessian[j]) out->h[j] += *hessian[j];
  return true;
}

bool Frame::pass(Cells& c, const double* x, const Observations& obs, Order order, Sums* out) {
  const bool derivatives = order != Order::kValue;
  out->start(c.parms.size(), order);
  const compiler::RunOptions options = c.start(x, derivatives);
  if (order != Order::kSecond && blocks_run(c, obs, derivatives)) return block_pass(c, obs, order, options, out);
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
    if (derivatives) c.read_gradient();
    if (!c.add(*term, order, out)) return false;
  }
  out->ok = true;
  return true;
}

// The observations of a pass that are not left out, moved into the cells
// one at a time for the block runner to take.
struct Frame::BlockSource {
  Cells* cells;
  const Observations* obs;
  std::int64_t next;

  static int move(void* arg) {
    auto* s = static_cast<BlockSource*>(arg);
    const Observations& o = *s->obs;
    while (s->next < o.n && skipped(o.skip, s->next)) ++s->next;
    if (s->next >= o.n) return 0;
    s->cells->move_in(o, s->next, o.computed + s->next * o.n_computed);
    ++s->next;
    return 1;
  }
};

// pass() with the program run over a block of observations at a time: each
// gets the interpreter's bits, and the terms are summed in observation order
// as pass() sums them. An observation whose run meets a value that is not
// finite runs alone.
bool Frame::block_pass(Cells& c, const Observations& obs, Order order, const compiler::RunOptions& options,
                       Sums* out) {
  compiler::BlockRunner& r = *c.blocks;
  const bool derivatives = order != Order::kValue;
  struct Place {
    const double* at;
    long stride;
  };
  Place objective{nullptr, 0};
  objective.at = r.value_place(c.objective, &objective.stride);
  std::vector<Place> gradient(c.gradient.size());
  for (std::size_t j = 0; j < gradient.size(); ++j)
    gradient[j].at = c.gradient[j] == &c.zero ? &c.zero : r.value_place(c.gradient[j], &gradient[j].stride);
  BlockSource source{&c, &obs, 0};
  while (const int count = r.fill(&BlockSource::move, &source)) {
    const unsigned char* alone = r.run();
    for (int i = 0; i < count; ++i) {
      if (!alone[i]) {
        for (std::size_t j = 0; derivatives && j < gradient.size(); ++j)
          c.g[j] = gradient[j].at[i * gradient[j].stride];
        if (!c.add(objective.at[i * objective.stride], order, out)) return false;
        continue;
      }
      r.take(i);  // its values back in the cells, as before its run
      compiler::RunCounts counts;
      const int rc = c.executor->run(0, options, &counts);
      if (rc >= compiler::kRunStopped) return true;
      const double* term = c.term(rc);
      if (!term) continue;
      if (derivatives) c.read_gradient();
      if (!c.add(*term, order, out)) return false;
    }
  }
  out->ok = true;
  return true;
}

// Whether the pass of `c` runs over blocks (after c.start).
bool Frame::blocks_run(Cells& c, const Observations& obs, bool derivatives) {
  return c.blocks && c.objective && !obs.rows && compiler::block_runs_allowed() &&
         c.blocks->start(derivatives ? compiler::kFitDerivatives : compiler::kNoDerivatives);
}

}  // namespace platform::refit
