// An executor runs a generated program over one frame of value cells. The
// compiler block's own executor runs on the block's cell store, whose cells
// the procedure and the data layer read and write directly; the cells the
// procedure moved to storage of its own (parameters, special variables) are
// copied in before each run and the assigned ones copied back after it.
// Other executors (one per thread) own a copy of the frame. The program is
// shared and never changes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/compiler/bytecode.h"
#include "platform/compiler/cell_store.h"
#include "platform/compiler/symbol_table.h"

namespace platform::compiler {

// Run codes.
inline constexpr int kRunNormal = 0;
inline constexpr int kRunDeleted = 1;    // DELETE: the observation is not used
inline constexpr int kRunAbandoned = 2;  // an error stopped this observation's run
inline constexpr int kRunStopped = 3;    // STOP: the pass ends
inline constexpr int kRunAborted = 4;    // ABORT: the pass ends with an error
inline constexpr int kRunSubscript = 5;  // an array subscript out of range: the pass ends
inline constexpr int kRunLimit = 6;      // a loop or LINK limit: the pass ends

inline constexpr int kLinkDepth = 64;
inline constexpr long kLoopLimit = 100'000'000;

enum class RunError : std::uint8_t {
  DivideByZero,
  Overflow,
  FunctionArgument,
  OperatorArgument,
  Subscript,
  DoLoop,
  NoWhen,
  InvalidNumber,
  Abort,
  LinkDepth,
  LoopLimit,
};

struct RunErrorRecord {
  int site = -1;
  RunError kind = RunError::Overflow;
  std::string detail;  // the text of invalid numeric data
};

// Which derivative statements a run executes: none, those the fit asked
// for, or those as well as the ones asked for on demand (statements a check
// after the fit reads, which the fit's own runs skip).
inline constexpr int kNoDerivatives = 0;
inline constexpr int kFitDerivatives = 1;
inline constexpr int kAllDerivatives = 2;

struct RunOptions {
  int derivatives = kFitDerivatives;
  bool record_errors = true;  // keep each error's place for the error report
  bool put = true;            // PUT statements write to the log
};

struct RunCounts {
  int errors = 0;   // operations that failed and gave missing values
  int missing = 0;  // missing values propagated from missing operands
};

class Executor {
 public:
  // The compiler block's own executor.
  Executor(std::shared_ptr<const Program> program, CellStore& cells, SymbolTable* symbols);
  // An executor with a frame of its own, copied from `model`'s frame.
  explicit Executor(const Executor& model);
  Executor& operator=(const Executor&) = delete;

  // Start of a pass: retained variables take their initial values, every
  // other variable is missing, the counts of the pass are cleared.
  void start_pass();
  // Before each observation: non-retained variables the program assigns are
  // missing; those only on-demand statements assign, once a run of the pass
  // executed them (nothing else reads them).
  void prepare_observation();
  // The pass runs the derivative statements of this level (RunOptions::
  // derivatives) from here; run() says so itself, the block runner's runs
  // say it through this.
  void runs_level(int derivatives) { ran_on_demand_ = ran_on_demand_ || derivatives > kFitDerivatives; }
  // Runs a segment once; returns the run code (the interpreter, interpreter.cpp).
  int run(int segment, const RunOptions& options, RunCounts* counts);

  const Program& program() const { return *program_; }
  double* cells() { return c_; }
  char* chars() { return chars_; }
  const double* cells() const { return c_; }
  // The text of a character slot as the program holds it.
  std::string slot_text(int slot) const;

  const std::vector<RunErrorRecord>& run_errors() const { return errors_; }
  // The error met last, recorded or not: the one that ended a run that
  // abandoned the observation or ended the pass.
  const RunErrorRecord& last_error() const { return last_error_; }
  void clear_run_errors() { errors_.clear(); }
  // Where the last run ended when it ended the pass or abandoned the observation.
  int end_site() const { return end_site_; }
  // Per place of the program: missing values generated and errors, this pass.
  const std::vector<std::uint32_t>& missing_by_site() const { return missing_by_site_; }
  const std::vector<std::uint32_t>& errors_by_site() const { return errors_by_site_; }

  // A cell whose value lives in storage the procedure gave it.
  struct External {
    int cell;
    double* place;
  };
  // The cells copied in from their places before each run.
  const std::vector<External>& externals() const { return externals_; }

 private:

  void bind_externals();
  // Slow paths of the interpreter (interpreter.cpp).
  double arith_fault(const Instr& in, double x, double y, double r);
  double fused_fault(const Instr& in, double x, double y, double z);
  double call_fault(const Instr& in, const double* args, int n, double r);
  void fail(int site, RunError kind, std::string detail = {});
  void count_missing(int site);
  // Character operations (char_ops.cpp).
  char* slot(int s) { return chars_ + program_->slots[static_cast<std::size_t>(s)].offset; }
  void char_op(const Instr& in);
  void store_chars(int dst, const char* text, int length);
  void put(int index);  // put.cpp

  std::shared_ptr<const Program> program_;
  SymbolTable* symbols_ = nullptr;  // the block's own executor only
  double* c_ = nullptr;
  char* chars_ = nullptr;
  std::vector<double> own_cells_;
  std::vector<char> own_chars_;
  std::vector<int> slot_len_;
  std::vector<External> externals_;         // copied in before each run
  std::vector<External> stored_externals_;  // the assigned ones, copied back after it
  std::vector<std::uint32_t> missing_by_site_;
  std::vector<std::uint32_t> errors_by_site_;
  std::vector<RunErrorRecord> errors_;
  RunErrorRecord last_error_;
  int link_stack_[kLinkDepth] = {};
  bool record_ = true;
  bool ran_on_demand_ = true;  // the on-demand statements ran in this pass
  int run_errors_ = 0;
  int run_missing_ = 0;
  int end_site_ = -1;
};

}  // namespace platform::compiler
