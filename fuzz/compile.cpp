// Compiles the input's steps without running them: each step is tokenized
// and parsed, its programming statements compiled against the variables of
// a small data set, and the first and second derivatives of its MODEL value
// with respect to its PARMS parameters generated as the set-up asks for
// them. Nothing is read and nothing estimated, so it runs many times faster
// than the program target over the same inputs.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <vector>

#include "app/program_file.h"
#include "fuzz_support.h"
#include "host/services.h"
#include "platform/compiler/api.h"
#include "platform/compiler/dataset_view.h"
#include "platform/host.h"
#include "platform/language/step_parser.h"
#include "platform/threads/large_stack.h"

namespace {

using platform::compiler::DatasetVariable;
using platform::compiler::VariableBinding;

// The variables of the program target's d.csv; the bound cells are never read.
const std::vector<DatasetVariable> kVariables = {
    {"x", true, 8, 1}, {"y", true, 8, 2}, {"z", true, 8, 3}, {"w", true, 8, 4}, {"g", false, 1, 5}};

bool describe(void*, std::vector<DatasetVariable>* out) {
  *out = kVariables;
  return true;
}
void* bind(void* fid, const std::vector<VariableBinding>&) { return fid; }

// A compiler block for one step, released at the end.
class Block {
 public:
  Block() {
    CMPINIT init{&nretain_, &memdef_, &seg_, 0, nullptr};
    cmpinit(&init, &cmp_);
  }
  ~Block() { cmppurg(&cmp_); }
  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;

  // Compiles the step's program with the model's derivatives, as far as it
  // compiles.
  void compile(platform::language::Program&& program) {
    platform::compiler::add_program(&cmp_, std::move(program));
    int fid = 0;
    cmprslv(&fid, &cmp_);
    cmpdfla(0, 0, 0, 1, &cmp_);
    cmpchck(&cmp_);
    if (nretain_ == 0 && derive()) cmpgen(&cmp_);
  }

 private:
  // First derivatives of the one MODEL value with respect to the
  // parameters, then second derivatives of the first ones.
  bool derive() {
    CMPLIST model{}, parms{}, gradient{};
    cmplstp(&model, "MODEL.", 6, &cmp_);
    cmplstb(&parms, kCmpKindParms, -1, &cmp_);
    if (model.n != 1 || parms.n == 0) return model.n == 1;
    parm_.assign(static_cast<std::size_t>(parms.n), 1.0);
    cmplsts(&parms, parm_.data(), &cmp_);
    CMPDER first{}, second{};
    if (cmpder(&first, &model, &parms, 101, 'p', 1, 0, &cmp_) != 0 || nretain_) return false;
    CMPSYM* zero = cmplit("0", 1, &cmp_);
    cmplsta(&gradient, parms.n, &cmp_);
    for (int j = 0; j < parms.n; ++j) cmplst(&gradient, zero, &cmp_);
    for (int k = 0; k < first.der.n; ++k) gradient.s[first.wrtindex[k]] = first.der.s[k];
    return cmpder(&second, &gradient, &parms, 201, 'p', 1, 0, &cmp_) == 0 && nretain_ == 0;
  }

  CMPGLOBAL cmp_{};
  int nretain_ = 0;
  long memdef_ = 0;
  int seg_ = 0;
  std::vector<double> parm_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::ostringstream log, listing;
  platform::Host host({&log, &listing, nullptr});
  // In place of the host's access to the data-set libraries.
  platform::compiler::install_dataset_access({&describe, &bind});
  // The compiler's passes recurse once per level of a statement, as in a step.
  platform::run_with_stack(platform::kTreeStackBytes, [&] {
    for (const platform::StepSource& step : app::split_program(text, "fuzz.ruva").steps) {
      auto parsed = platform::language::parse_step(step.text, step.first_line);
      if (!parsed->errors.empty()) continue;
      try {
        Block().compile(std::move(parsed->program));
      } catch (const platform::StepExit&) {
        // The compiler ended the step, as it may when memory runs short.
      }
    }
  });
  fuzz_support::fail_on_internal_error(log.str(), text);
  return 0;
}
