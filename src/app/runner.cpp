#include "app/runner.h"

#include <algorithm>
#include <fstream>
#include <iostream>
#include <new>

#include "app/output_files.h"
#include "app/program_file.h"
#include "app/run_signals.h"
#include "platform/datasets/run_lock.h"
#include "platform/host.h"
#include "platform/kernel/kernel_state.h"
#include "platform/listing/log.h"
#include "platform/listing/message_catalog.h"
#include "platform/memory_reserve.h"
#include "platform/threads/large_stack.h"
#include "platform/language/printer.h"
#include "platform/language/step_parser.h"
#include "platform/parse_session.h"
#include "platform/report/html_report.h"
#include "platform/run_stop.h"

namespace app {

int exit_status(const std::vector<int>& return_codes) {
  int largest = 0;
  for (int rc : return_codes) largest = std::max(largest, rc);
  if (largest == 0) return 0;
  return largest == 4 ? 1 : 2;
}

bool configure(const CommandLine& cmd, platform::Host& host) {
  bool ok = true;
  if (!cmd.work.empty()) host.libraries().set_work(cmd.work);
  for (const auto& [name, dir] : cmd.libraries) {
    if (!host.libraries().define(name, dir)) {
      host.log().error("The library name " + name + " is not valid.");
      ok = false;
    }
  }
  for (const std::string& setting : cmd.settings) {
    std::string why;
    if (!host.kernel().apply_setting(setting, &why)) {
      host.log_message(1, 61, setting.c_str(), why.c_str());
      ok = false;
    }
  }
  for (const std::string& opt : cmd.options) {
    std::string why;
    if (!host.options().set(opt, &why)) {
      host.log().error("--option " + opt + ": " + why + ".");
      ok = false;
    }
  }
  return ok;
}

namespace {

constexpr int kMsgRunOutOfMemory = 250, kMsgReportOutOfMemory = 251;

std::string out_of_memory_text() { return platform::MessageCatalog::builtin().find(1, kMsgRunOutOfMemory)->text; }

std::string join_codes(const std::vector<int>& codes) {
  std::string s;
  for (std::size_t i = 0; i < codes.size(); ++i)
    s += (i ? ", " : "") + std::to_string(i + 1) + ": " + std::to_string(codes[i]);
  return s.empty() ? "no steps" : s;
}

// Shows a step's statements as parsed; 3000 when the step has statement
// errors, as running it would give.
int show_parsed_step(platform::Host& host, const platform::StepSource& step, int number) {
  int rc = 0;
  platform::run_with_stack(platform::kTreeStackBytes, [&] {
    auto parsed = platform::language::parse_step(step.text, step.first_line);
    host.print_file().write_unpaged("Step " + std::to_string(number) + " (" + step.file + ", line " +
                                    std::to_string(step.first_line) + ")\n" +
                                    platform::language::step_text(*parsed));
    platform::log_parse_errors(*parsed);
    rc = parsed->errors.empty() ? 0 : 3000;
  });
  return rc;
}

constexpr int kMsgNotWrittenCompletely = 240;
constexpr int kMsgLogNotWritten = 241;
constexpr int kMsgNotWrittenCompletelyWhy = 242;
constexpr int kMsgLogNotWrittenWhy = 243;

// A listing cut short (a full disk) fails the run instead of passing for a
// complete one: the ERROR sets the exit status, and gives the cause when
// the listing kept it (a file, or standard output: in_place_file.h).
void check_written(std::ostream& out, const std::string& what, platform::Host& host) {
  out.flush();
  if (out) return;
  const auto* file = dynamic_cast<const InPlaceFile*>(&out);
  const std::string cause = file ? file->failure() : std::string();
  if (cause.empty())
    host.log_message(1, kMsgNotWrittenCompletely, what.c_str());
  else
    host.log_message(1, kMsgNotWrittenCompletelyWhy, what.c_str(), cause.c_str());
}

// A log file that fails goes on in the default log, which says so first,
// with the cause.
void fall_back_from_log_file(const std::string& log_file, const InPlaceFile& file, std::ostream& log_default,
                             platform::Host& host) {
  host.log().set_fallback(log_default, [log_file, &file] {
    const std::string& cause = file.failure();
    return cause.empty() ? platform::message_text(1, kMsgLogNotWritten, log_file.c_str())
                         : platform::message_text(1, kMsgLogNotWrittenWhy, log_file.c_str(), cause.c_str());
  });
}

}  // namespace

namespace {

// Runs every step of one program file; the return code of each. A file
// that holds no step adds none: its ERROR, outside any step, sets the exit
// status.
void run_program(const CommandLine& cmd, const std::string& program, ProgramTexts& programs, platform::Host& host,
                 std::vector<int>* codes) {
  if (cmd.programs.size() > 1) host.log().set_program_file(program);
  // Every program was read before the outputs were opened (run).
  SplitResult split = split_program(*programs.text(program), program);
  for (int line : split.stray_lines) host.log_message(1, 16, line);
  if (split.steps.empty()) host.log_message(1, 15);
  for (const platform::StepSource& step : split.steps) {
    if (cmd.parse_only) codes->push_back(show_parsed_step(host, step, static_cast<int>(codes->size()) + 1));
    else codes->push_back(host.run_step(step));
  }
}

// Runs every program file's steps, once the module is loaded (1012 for the
// first step when it cannot be).
void run_programs(const CommandLine& cmd, ProgramTexts& programs, platform::Host& host, std::vector<int>* codes) {
  if (!host.load_module()) {
    codes->push_back(1012);
    return;
  }
  for (const std::string& program : cmd.programs) {
    // A step says itself that it ran short; a shortage between steps
    // (taking the file apart into steps, say) is the next step's, which
    // ends with the code of a shortage, and the file's remaining steps
    // are not run.
    try {
      run_program(cmd, program, programs, host, codes);
    } catch (const std::bad_alloc&) {
      host.log_message(1, kMsgRunOutOfMemory);
      codes->push_back(platform::kOutOfMemoryCode);
    }
  }
}

void write_report(const CommandLine& cmd, const platform::report::HtmlReport& report, platform::Host& host) {
  std::string why, title = "ruva report:";
  for (const std::string& program : cmd.programs) title += " " + program;
  // An ERROR outside any step: it sets the exit status without counting
  // as a step's return code. A report short of memory leaves no part of
  // itself behind (whole_file.h).
  try {
    if (!report.write(cmd.html, title, &why)) host.log().error("The report was not written: " + why + ".");
  } catch (const std::bad_alloc&) {
    host.log_message(1, kMsgReportOutOfMemory, cmd.html.c_str());
  }
}

int run_with_files(const CommandLine& cmd, ProgramTexts& programs, OutputFiles& files, std::ostream& log_default) {
  platform::report::HtmlReport report({platform::report::kReportBudget, cmd.html, cmd.listing, cmd.graphs, cmd.json});
  platform::Host host({files.log, files.listing, cmd.json.empty() ? nullptr : &files.json_file.stream(),
                       platform::GraphSettings{cmd.graphs, cmd.html.empty() ? nullptr : &report}});
  if (!cmd.log.empty()) fall_back_from_log_file(cmd.log, files.log_file, log_default, host);
  std::vector<int> codes;
  // A setting in error has logged its ERROR, which sets the exit status;
  // no step runs.
  if (configure(cmd, host)) run_programs(cmd, programs, host, &codes);
  if (!cmd.html.empty()) write_report(cmd, report, host);
  check_written(*files.listing, cmd.listing.empty() ? "listing" : "listing file " + cmd.listing, host);
  // The JSON file takes its name now, whole, or leaves the earlier one.
  if (std::string why; !cmd.json.empty() && !files.json_file.close(&why))
    host.log_message(1, kMsgNotWrittenCompletelyWhy, ("JSON file " + cmd.json).c_str(), why.c_str());
  host.log_message(1, 7, join_codes(codes).c_str());
  // A WARNING or ERROR logged outside any step (text outside a step) counts
  // as a step's would, and so does a log that could not be written.
  const int logged = host.log().errors() > 0 || host.log().failed() ? 2 : host.log().warnings() > 0 ? 1 : 0;
  return std::max(exit_status(codes), logged);
}

}  // namespace

int run(const CommandLine& cmd, std::ostream& listing_default, std::ostream& log_default) {
  platform::arm_memory_reserve();
  // The user's own locks of the listing and log files, let go last: the
  // signals keep a descriptor of the log, for the line that names a
  // stopping signal, until the run has ended (run_signals.h).
  std::vector<platform::ds::RunLock> run_locks;
  RunSignals signals;
  ProgramTexts programs;
  OutputFiles files;
  try {
    // A program that cannot be read stops the run before any output is
    // opened, and so leaves every earlier output as it was.
    if (const std::string unreadable = programs.read_all(cmd.programs); !unreadable.empty()) {
      platform::Log(log_default).error(unreadable);
      return 2;
    }
    // Until the run holds its listing and log, which another run may be
    // writing, a signal stops it at once and leaves them as they were.
    if (!files.open(cmd, programs, listing_default, log_default, &run_locks)) return 2;
    {
      // From their truncation on, a signal waits until the log can take
      // the line that names it.
      const platform::StopHold hold;
      if (!files.begin(log_default)) return 2;
      signals.end_log_in(cmd.log.empty() ? -1 : files.log_file.descriptor());
    }
    return run_with_files(cmd, programs, files, log_default);
  } catch (const std::bad_alloc&) {
    // Out of memory outside a step (a step says so itself and goes on to
    // the next): the host and its files are gone, the log stays. The line
    // is made whole before any of it is written; without room for it, the
    // log is left as it is and the command says it could not start.
    const std::string line = "ERROR: " + out_of_memory_text() + "\n";
    if (const platform::LogLineGate gate; gate.open()) *(files.log ? files.log : &log_default) << line << std::flush;
    return 2;
  }
}

}  // namespace app
