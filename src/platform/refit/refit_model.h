// The refit engine's model: the objective program compiled once from its
// text with analytic first and second derivatives with respect to the
// parameters, and per worker a frame of its own (an executor with the
// cells of the inputs, parameters, objective and derivatives) that sums
// the objective over the observations.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/compiler_types.h"
#include "host/qx_prof.h"
#include "platform/compiler/api.h"

namespace platform::compiler {
class Executor;
}

namespace platform::refit {

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
};

// The objective summed over the observations; g and H hold its first and
// second derivatives (H packed lower by rows, in Gauss-Newton form) when
// asked for.
struct Sums {
  double f = 0;
  std::vector<double> g, h;
  std::int64_t used = 0;  // observations whose objective was not missing
  bool ok = false;        // false when a run ended the pass
};

class Frame;

class RefitModel {
 public:
  RefitModel();
  ~RefitModel();
  RefitModel(const RefitModel&) = delete;
  RefitModel& operator=(const RefitModel&) = delete;

  // Compiles `text` with the declared variables as inputs; 0, or nonzero
  // after the compiler logged its errors.
  int compile(const std::string& text, const std::string& objective, const std::vector<std::string>& parms,
              const std::vector<QXPROF_VAR_INFO>& vars, const std::vector<std::string>& var_names);
  int n_parms() const { return static_cast<int>(program_.parms.size()); }
  // A frame for one worker; null before a successful compile.
  std::unique_ptr<Frame> new_frame();

 private:
  friend class Frame;
  CMPGLOBAL cmp_{};
  int nretain_ = 0;
  long vnum_ = 0;
  int seg_ = 0;
  bool initialised_ = false;
  compiler::ObjectiveProgram program_;
  std::vector<QXPROF_VAR_INFO> vars_;
  std::vector<CMPSYM*> var_syms_;
};

class Frame {
 public:
  Frame(std::unique_ptr<compiler::Executor> executor, RefitModel& model);
  ~Frame();
  // Evaluates at x; derivatives only when `derivatives` is set.
  void evaluate(const double* x, const Observations& obs, bool derivatives, Sums* out);

 private:
  void add_derivatives(double f, Sums* out);

  std::unique_ptr<compiler::Executor> executor_;
  std::vector<double> g_;  // the current observation's gradient
  std::vector<double*> parms_, gradient_, hessian_;  // null: zero
  double* objective_ = nullptr;
  struct Input {
    double* cell;
    bool computed;
    std::int32_t where;  // byte offset in the record or column of the computed row
  };
  std::vector<Input> inputs_;
  // The cells of the lagged variables in declaration order (a cell of the
  // frame's own when the program never reads the variable).
  std::vector<double*> lagged_;
  double unread_lag_ = 0;
  // Left-out observations still run, when the program carries values, so
  // that the others see the values the fit's pass gave them.
  bool carries_ = false;
  struct Text {
    char* text;            // the variable's text in the frame
    std::int32_t length;   // bytes copied from the record
    std::int32_t offset;   // byte offset in the record
  };
  std::vector<Text> texts_;
};

}  // namespace platform::refit
