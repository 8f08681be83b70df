#include "platform/refit/refit_frame.h"

#include <algorithm>
#include <cstring>

#include "host/missing.h"
#include "platform/compiler/executor.h"

namespace platform::refit {

// One compiled program's executor and the cells a pass reads and writes.
class Frame::Cells {
 public:
  Cells(std::unique_ptr<compiler::Executor> executor, RefitModel::Compiled& program,
        const std::vector<QXPROF_VAR_INFO>& vars);

  std::unique_ptr<compiler::Executor> executor;
  std::vector<double> g;  // the current observation's gradient
  std::vector<double*> parms, gradient, hessian;  // null: zero
  double* objective = nullptr;
  struct Input {
    double* cell;
    bool computed;
    std::int32_t where;  // byte offset in the record or column of the computed row
  };
  std::vector<Input> inputs;
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
  for (CMPSYM* d : m.program.gradient) gradient.push_back(cell(d));
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
    inputs.push_back({c, v.type == COMPUTED_VAR, v.type == COMPUTED_VAR ? v.u.comp_index : v.u.offset});
  }
  const compiler::Program& program = executor->program();
  carries = !lagged.empty() || !program.pass_inits.empty() || !program.pass_char_inits.empty();
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

bool skipped(const unsigned char* bits, std::int64_t k) {
  return bits && (bits[k / 8] & (0x80u >> (k % 8)));
}

// The objective's term of an observation is a weighted squared residual
// F = w r^2, whose gradient is 2 w r r'. Its Hessian is taken in the
// Gauss-Newton form 2 w r' r'^T = g g^T / (2 F), which never has negative
// curvature (a full Newton step can stop at a saddle where two terms of a
// model merge). Where F is 0 the two forms agree, and there (and where a
// negative weight makes F negative) the analytic second derivatives are used.
void add_gauss_newton(const std::vector<double>& g, double f, Sums* out) {
  const std::size_t np = g.size();
  const double scale = 0.5 / f;
  for (std::size_t a = 0, k = 0; a < np; ++a)
    for (std::size_t b = 0; b <= a; ++b, ++k) out->h[k] += scale * g[a] * g[b];
}

}  // namespace

void Frame::evaluate(const double* x, const Observations& obs, Order order, Sums* out) {
  if (order != Order::kSecond && pass(*first_, x, obs, order, out)) return;
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

bool Frame::pass(Cells& c, const double* x, const Observations& obs, Order order, Sums* out) {
  const std::size_t np = c.parms.size();
  const bool derivatives = order != Order::kValue;
  out->f = 0;
  out->used = 0;
  out->ok = false;
  out->order = order;
  out->g.assign(np, 0.0);
  out->h.assign(np * (np + 1) / 2, 0.0);
  for (std::size_t j = 0; j < np; ++j)
    if (c.parms[j]) *c.parms[j] = x[j];
  compiler::RunOptions options;
  options.derivatives = derivatives;
  options.record_errors = false;
  options.put = false;
  c.executor->start_pass();
  // Observations in order, as the fit's pass runs them: values the program
  // carries reach the next observation as the program left them.
  for (std::int64_t k = 0; k < obs.n; ++k) {
    const bool left_out = skipped(obs.skip, k);
    if (left_out && !c.carries) continue;
    const double* row = obs.rows ? obs.rows->row(k, c.lagged.data()) : obs.computed + k * obs.n_computed;
    if (!row) return true;
    c.executor->prepare_observation();
    const unsigned char* record = obs.records + k * obs.record_size;
    for (const Cells::Input& in : c.inputs) {
      if (in.computed) *in.cell = row[in.where];
      else std::memcpy(in.cell, record + in.where, sizeof(double));
    }
    for (const Cells::Text& t : c.texts) std::memcpy(t.text, record + t.offset, static_cast<std::size_t>(t.length));
    compiler::RunCounts counts;
    const int rc = c.executor->run(0, options, &counts);
    if (rc >= compiler::kRunStopped) return true;
    if (left_out || rc != compiler::kRunNormal || !c.objective || is_missing(*c.objective)) continue;
    const double f = *c.objective;
    out->f += f;
    ++out->used;
    if (!derivatives) continue;
    for (std::size_t j = 0; j < np; ++j) c.g[j] = c.gradient[j] ? *c.gradient[j] : 0.0;
    for (std::size_t j = 0; j < np; ++j) out->g[j] += c.g[j];
    if (f > 0) {
      add_gauss_newton(c.g, f, out);
      continue;
    }
    if (order == Order::kFirst) return false;
    for (std::size_t k2 = 0; k2 < c.hessian.size(); ++k2)
      if (c.hessian[k2]) out->h[k2] += *c.hessian[k2];
  }
  out->ok = true;
  return true;
}

}  // namespace platform::refit
