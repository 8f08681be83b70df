// A worker's frame for the refit model: executors with cells of their own
// (inputs, parameters, objective, derivatives) that sum the objective and
// its derivatives over the observations of a task.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "host/ext_refit_engine_qxprof.h"
#include "platform/refit/refit_model.h"

namespace platform::compiler {
struct RunOptions;
}

namespace platform::refit {

class PassHelpers;
struct Terms;

// The computed rows of a program whose lagged variables carry values from
// one observation to the next: asked for row by row as a pass reaches them.
class RowSource {
 public:
  virtual ~RowSource() = default;
  // Row k (k = 0, 1, ... within each pass); `carried` points at each lagged
  // variable's value as the program left it after row k-1. Null on failure.
  virtual const double* row(std::int64_t k, double** carried) = 0;
};

// The data of one evaluation: records, the task's computed rows and its
// left-out observations.
struct Observations {
  const unsigned char* records = nullptr;  // n x record_size bytes
  std::int32_t record_size = 0;
  const double* computed = nullptr;  // n x n_computed values, when `rows` is null
  std::int32_t n_computed = 0;
  const unsigned char* skip = nullptr;  // bit k (MSB first) leaves record k out
  std::int64_t n = 0;
  RowSource* rows = nullptr;  // the rows one at a time instead of `computed`
  PassHelpers* helpers = nullptr;  // idle threads a pass may be shared with, or null
};

// What a pass computes beside the objective.
enum class Order {
  kValue,   // the objective alone
  kFirst,   // and its derivatives, from the first derivatives where they suffice
  kSecond,  // and its derivatives, from the second derivatives where a term is not positive
};

// The objective summed over the observations; g and H hold its first and
// second derivatives (H packed lower by rows, in Gauss-Newton form) when
// asked for.
struct Sums {
  double f = 0;
  std::vector<double> g, h;
  std::int64_t used = 0;  // observations whose objective was not missing
  bool ok = false;        // false when a run ended the pass
  Order order = Order::kValue;  // what the sums hold

  // Empty sums of a pass over np parameters, not yet finished.
  void start(std::size_t np, Order what) {
    f = 0;
    used = 0;
    ok = false;
    order = what;
    g.assign(np, 0.0);
    h.assign(np * (np + 1) / 2, 0.0);
  }
};

// Adds an observation's Hessian term in Gauss-Newton form, from its
// objective term f > 0 and gradient g (np values), to h.
void add_gauss_newton(const double* g, std::size_t np, double f, double* h);

class Frame {
 public:
  // Null when an executor cannot be made (before a successful compile).
  static std::unique_ptr<Frame> make(RefitModel::Compiled& first, RefitModel::Compiled& second,
                                     const std::vector<QXPROF_VAR_INFO>& vars);
  ~Frame();
  // Evaluates at x, sharing the pass with idle threads where it can. A
  // pass asked for kFirst that meets a term that is not positive starts
  // again as kSecond on this thread; `out->order` says which it was.
  void evaluate(const double* x, const Observations& obs, Order order, Sums* out);
  // Observations begin..end-1 of a shared pass (not kSecond), each run
  // afresh, into `terms`.
  void evaluate_chunk(const double* x, const Observations& obs, Order order, std::int64_t begin,
                      std::int64_t end, Terms* terms);

 private:
  class Cells;
  struct BlockSource;
  enum class Shared { kNot, kSummed, kNeedsSecond };
  Frame(std::unique_ptr<Cells> first, RefitModel::Compiled& second, const std::vector<QXPROF_VAR_INFO>& vars);
  Shared share(const double* x, const Observations& obs, Order order, Sums* out);
  // False when a kFirst pass met a term that needs the second derivatives.
  bool pass(Cells& cells, const double* x, const Observations& obs, Order order, Sums* out);
  bool blocks_run(Cells& cells, const Observations& obs, bool derivatives);
  bool block_pass(Cells& cells, const Observations& obs, Order order, const compiler::RunOptions& options,
                  Sums* out);

  std::unique_ptr<Cells> first_, second_;  // second_: made when a pass first needs it
  RefitModel::Compiled& second_program_;
  const std::vector<QXPROF_VAR_INFO>& vars_;
  std::unique_ptr<Terms> terms_;  // of the passes this frame shares out
};

}  // namespace platform::refit
