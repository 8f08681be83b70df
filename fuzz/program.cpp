// Runs the input as a program file: split into its steps, each step run by
// the procedure over small data sets in a WORK folder of its own. Reaches
// the tokenizer, the statement parser, the compiler with its derivatives,
// the set-up and the estimation.
#include <cstddef>
#include <cstdint>
#include <sstream>

#include "app/program_file.h"
#include "fuzz_support.h"
#include "platform/host.h"

namespace {

namespace fs = std::filesystem;

// The data sets the programs of the corpus read.
constexpr std::pair<const char*, const char*> kDataSets[] = {
    {"d.csv", "x,y,z,w,g\n1,2.1,0.5,1,a\n2,3.9,1.5,2,b\n3,6.2,2,1,a\n4,7.8,.,2,b\n5,10.1,3,1,a\n"},
    {"puromycin.csv",
     "conc,rate,state\n0.02,76,treated\n0.06,97,treated\n0.22,159,treated\n0.56,191,treated\n"
     "0.02,67,untreated\n0.06,84,untreated\n0.22,131,untreated\n0.56,144,untreated\n"},
    {"bod.csv", "time,demand\n1,8.3\n2,10.3\n3,19\n4,16\n5,15.6\n7,19.8\n"},
    {"dnase.csv",
     "run,conc,density\n1,0.04882812,0.017\n1,0.1953125,0.121\n1,0.78125,0.377\n1,3.125,1.004\n"
     "1,12.5,1.730\n2,0.04882812,0.045\n2,0.1953125,0.124\n2,0.78125,0.393\n2,3.125,1.033\n"
     "2,12.5,1.713\n"},
};

bool is_fixed(const fs::path& file) {
  for (const auto& [name, text] : kDataSets)
    if (file.filename() == name) return true;
  return false;
}

// Removes what an earlier input wrote, so that every input sees the same folder.
void reset_work(const fs::path& dir) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dir, ec))
    if (!is_fixed(entry.path())) fs::remove_all(entry.path(), ec);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  for (const auto& [name, text] : kDataSets) fuzz_support::write_file(fuzz_support::scratch_dir() / name, text);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const fs::path& work = fuzz_support::scratch_dir();
  reset_work(work);
  std::ostringstream log, listing;
  {
    platform::Host host({&log, &listing, nullptr});
    host.libraries().set_work(work);
    if (host.load_module())
      for (const platform::StepSource& step : app::split_program(text, "fuzz.ruva").steps) host.run_step(step);
  }
  fuzz_support::fail_on_internal_error(log.str(), text);
  return 0;
}
