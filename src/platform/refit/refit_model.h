// The refit engine's model: the objective program compiled once from its
// text, twice over: with analytic first derivatives with respect to the
// parameters (what nearly every pass needs) and with second derivatives as
// well (for the passes that meet a term of the objective that is not
// positive). Each worker evaluates it with a frame of its own (refit_pass_frame.h).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/compiler_types.h"
#include "host/ext_refit_engine_qxprof.h"
#include "platform/compiler/api.h"

namespace platform::compiler {
class Executor;
}

namespace platform::refit {

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
  int n_parms() const { return static_cast<int>(first_.program.parms.size()); }
  // A frame for one worker; null before a successful compile.
  std::unique_ptr<Frame> new_frame();

  // One compile of the program: its compiler block and the symbols a frame
  // binds to its cells.
  struct Compiled {
    CMPGLOBAL cmp{};
    int nretain = 0;
    long vnum = 0;
    int seg = 0;
    bool initialised = false;
    compiler::ObjectiveProgram program;
    std::vector<CMPSYM*> var_syms;  // per declared variable; null when the program has none

    ~Compiled();
    int compile(const std::string& text, const std::vector<compiler::DatasetVariable>& inputs,
                const std::vector<std::string>& parms, const std::string& objective,
                const compiler::ObjectiveOptions& options, const std::vector<std::string>& var_names);
    std::unique_ptr<compiler::Executor> new_executor();
  };
  const std::vector<QXPROF_VAR_INFO>& vars() const { return vars_; }

 private:
  Compiled first_, second_;
  std::vector<QXPROF_VAR_INFO> vars_;
};

}  // namespace platform::refit
