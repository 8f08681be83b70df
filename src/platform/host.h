// The host: the process-wide state behind every host service. It owns the
// global control block (a real array of words laid out as the module reads
// it), the service tables built from the service list, the task record, the
// memory pools, the system options, the log, the print file, the message
// catalogue and the data-set libraries, and it runs the module's steps.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "host/globals.h"
#include "host/module_entry.h"
#include "platform/datasets/registry.h"
#include "platform/libraries.h"
#include "platform/listing/log.h"
#include "platform/macro_variables.h"
#include "platform/listing/message_catalog.h"
#include "platform/options.h"
#include "platform/output/output_service.h"
#include "platform/pool.h"
#include "platform/listing/print_file.h"

namespace platform {

// The least return codes of a step that logged a warning or an error.
inline constexpr int kWarningReturnCode = 4;
inline constexpr int kErrorReturnCode = 8;
// The return code of a step that ran short of memory.
inline constexpr int kOutOfMemoryCode = 1016;

// Thrown by `xexit` and caught by the step runner: the step ends with `rc`.
struct StepExit {
  int rc;
};

struct HostConfig {
  std::ostream* log = nullptr;      // standard error when null
  std::ostream* listing = nullptr;  // standard output when null
  std::ostream* json = nullptr;     // the JSON stream of the output; none when null
  GraphSettings graphs = {};        // SVG files and the HTML report; none when empty
};

// One step of a program: the statements from the procedure statement to the
// step boundary, and where they start in the program file.
struct StepSource {
  std::string text;
  int first_line = 1;
  std::string file;
};

class KernelState;

class Host {
 public:
  explicit Host(HostConfig config = {});
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // The host that is running; there is one at a time.
  static Host& current();
  static bool exists();

  // Loads the module: calls its entry and checks the image record. Returns
  // false (after logging why) when the module cannot be started.
  bool load_module();
  // Runs one step of the module and returns its return code.
  int run_step(const StepSource& step);
  // Runs `main` as a step's procedure main (tests use it to run code in a
  // step without the procedure) and returns the step's return code.
  int run_step_with(void (*main)(), const StepSource& step = {});

  HostWord* control_block() { return words_.data(); }
  HostWord* task_record() { return task_record_.data(); }
  void* qx_handle_area() { return qx_area_.data(); }

  // Replaces entry `entry` of vector `vector`; returns the previous entry.
  void* replace_service(int vector, int entry, void* fn);
  void* service(int vector, int entry) const;

  SystemOptions& options() { return options_; }
  Log& log() { return log_; }
  const MessageCatalog& messages() const { return MessageCatalog::builtin(); }
  Libraries& libraries() { return libraries_; }
  // The step's data sets and utility files; made anew for every step.
  DataSets& datasets() { return *datasets_; }
  PrintFile& print_file() { return *print_file_; }
  OutputService& output() { return *output_; }
  std::ostream& listing() { return *listing_; }
  Pool& step_pool() { return *step_pool_; }
  Pool& task_pool() { return *task_pool_; }
  // The kernel library's state behind the kernel-library handle.
  KernelState& kernel() { return *kernel_; }
  // The macro variables, kept for the life of the host; those a step sets
  // are listed in the log when it ends.
  MacroVariables& macro_variables() { return macros_; }
  MACRO_SCOPE* macro_scope() { return &macro_scope_; }
  const StepSource& step() const { return step_; }
  int step_number() const { return step_number_; }

  void set_end_of_task(void (*routine)()) { end_of_task_ = routine; }

  // Raises the step's return code to at least `rc`: the host's own failures
  // (a data set out of BY order, one that could not be written) count
  // whatever code the procedure ends with. An ERROR line raises it to
  // kErrorReturnCode as it is logged, so that a step failed by its pass
  // writes no data set. Threads of the refit engine may log too.
  void raise_return_code(int rc) {
    int seen = rc_floor_.load();
    while (seen < rc && !rc_floor_.compare_exchange_weak(seen, rc)) {
    }
  }
  int return_code_floor() const { return rc_floor_.load(); }

  // Writes catalogue message set/number with its inserts to the log.
  void log_message(int set, int number, va_list args);
  void log_message(int set, int number, ...);

 private:
  void build_service_tables();
  void open_print_file();
  void begin_step(const StepSource& step);
  // The step's end after its procedure ended with `step_rc`; its return
  // code, 1016 when it ran short of memory.
  int end_step(int step_rc);
  // Runs one part of a step: 0 when it returns, else the code it ends the
  // step with (its exit code; 1016 for a shortage of memory and 1012 for
  // an unexpected error, each after saying so).
  template <class Part>
  int run_part(Part&& part);
  void log_macro_variables();
  // The step's return code made to agree with what it logged: an ERROR line
  // raises it to kErrorReturnCode, a WARNING line to kWarningReturnCode, and
  // a nonzero code that no such line explains gets one of its own (the
  // out-of-memory message and code when an allocation failed).
  int agree_with_log(int rc, int errors_before, int warnings_before);

  std::ostream* log_stream_;
  std::ostream* listing_;
  std::ostream* json_;
  GraphSettings graphs_;
  int listing_pages_ = 0;
  SystemOptions options_;
  Log log_;
  Libraries libraries_;

  std::array<HostWord, gcb::kWords> words_{};
  std::vector<std::vector<void*>> entries_;  // entries_[vector][entry]
  std::vector<void**> tables_;               // control-block word 0
  std::vector<std::uint8_t> vector_bytes_;   // control-block word 1
  std::array<HostWord, 16> task_anchor_{};   // control-block word 4
  std::array<HostWord, 16> task_block_{};    // word 9 of the anchor
  std::array<HostWord, task::kWords> task_record_{};
  std::array<void*, 192> qx_area_{};         // the kernel-library handle area
  std::unique_ptr<KernelState> kernel_;
  std::array<unsigned char, 256> upcase_{};
  std::array<std::array<unsigned char, 256>, 5> translate_{};
  std::array<const unsigned char*, 8> translate_list_{};

  MacroVariables macros_;
  MACRO_SCOPE macro_scope_{&macros_};
  std::unique_ptr<Pool> step_pool_;
  std::unique_ptr<Pool> task_pool_;
  std::unique_ptr<PrintFile> print_file_;
  std::unique_ptr<DataSets> datasets_;
  std::atomic<int> rc_floor_{0};
  std::unique_ptr<OutputService> output_;
  StepSource step_;
  int step_number_ = 0;
  bool memory_said_ = false;  // the step's shortage of memory has been logged
  void (*end_of_task_)() = nullptr;
  WIPGMCON* procedure_ = nullptr;
};

// Lets the model-program compiler read the input data set's variables.
void connect_compiler_to_datasets();

// Installs the kernel library's services into the handle area.
void install_kernel_library(Host& host);

}  // namespace platform
