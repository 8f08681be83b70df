// Steps of the procedure run in a host whose WORK library is a fresh
// folder, with the log and listing captured. Graphics are on when the host
// writes a JSON stream. A step can stop after its parse, its options or its
// set-up and hand the context to an inspection that runs while the compiled
// program still exists.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>

#include "host/globals.h"
#include "host/module_entry.h"
#include "host/object_methods.h"
#include "host/parse_print_record.h"
#include "host/services.h"
#include "platform/host.h"
#include "procedure/model_run.h"
#include "procedure/proc_options.h"
#include "procedure/procedure_context.h"
#include "procedure/step_phases.h"

namespace procedure_test {

// Looks at the context before the step ends.
inline std::function<void(RUVACOM*)>& inspection() {
  static std::function<void(RUVACOM*)> f;
  return f;
}

inline void inspect_and_exit(RUVACOM* ctx) {
  if (inspection()) inspection()(ctx);
  xexit(ctx->rc, 0);
}

// The start that every step body shares: the parse, then through the set-up
// (`through` 1) and the result phases' set-up (2).
inline RUVACOM* begin_step(int through) {
  RUVACOM* ctx = ruva_new_context();
  xinit();
  xytexit(RUVAEndofTask);
  if (ruvapar(ctx) != 0) xexit(3000, 0);
  if (through >= 1 && ruvaint(ctx) != 0) xexit(1012, 0);
  if (through >= 2 && ruvares() != 0) xexit(1012, 0);
  return ctx;
}

// A whole step whose output service fails the step's first request with
// the selector `failing_selector()` (an output request out of order).
inline int& failing_selector() {
  static int selector = 0;
  return selector;
}
inline void failing_request_body() {
  platform::Host::current().output().inject_failure(failing_selector(), kOutputWrongState);
  kovruva();
}

// Parse and options only.
inline void options_body() {
  RUVACOM* ctx = begin_step(0);
  get_options(ctx);
  inspect_and_exit(ctx);
}

// Parse and set-up, as the driver runs them.
inline void setup_body() { inspect_and_exit(begin_step(1)); }

class ProcedureTest : public ::testing::Test {
 protected:
  explicit ProcedureTest(bool graphics = false)
      : host_({&log_, &listing_, graphics ? &json_ : nullptr}) {
    std::string pattern = (std::filesystem::temp_directory_path() / "ruva-proc-XXXXXX").string();
    dir_ = mkdtemp(pattern.data());
    host_.libraries().set_work(dir_);
  }
  ~ProcedureTest() override {
    inspection() = nullptr;
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  void write_file(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
  }

  // Runs `program` as a step with `body` as its procedure main.
  int run(const std::string& program, void (*body)() = kovruva) {
    log_.str("");
    return host_.run_step_with(body, platform::StepSource{program, 1, "test.ruva"});
  }
  // Runs the step and looks at its context before it ends.
  int run_and_inspect(const std::string& program, void (*body)(), std::function<void(RUVACOM*)> look) {
    inspection() = std::move(look);
    const int rc = run(program, body);
    inspection() = nullptr;
    return rc;
  }

  // The context of the step run last. Its own fields stay readable until the
  // next step; the compiled program (symbols) is gone with the step.
  RUVACOM* context() { return reinterpret_cast<RUVACOM*>(host_.task_record()[task::kContext]); }

  std::string log_text() const { return log_.str(); }
  // How many lines of the log show message 305/number, whatever its inserts.
  int logged(int number) const {
    const platform::Message* m = host_.messages().find(305, number);
    if (!m) return -1;
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    static const std::regex insert(R"(%[-+ #0-9.*]*[hlLqjzt]*[a-zA-Z])");
    // Literal parts escaped, each insert matching anything.
    std::string pattern;
    std::sregex_token_iterator part(m->text.begin(), m->text.end(), insert, -1), end;
    for (bool first = true; part != end; ++part, first = false)
      pattern += (first ? "" : ".*") + std::regex_replace(part->str(), special, R"(\$&)");
    const std::regex re(pattern);
    std::istringstream lines(log_.str());
    int count = 0;
    for (std::string line; std::getline(lines, line);) count += std::regex_search(line, re) ? 1 : 0;
    return count;
  }

  std::ostringstream log_, listing_, json_;
  platform::Host host_;
  std::filesystem::path dir_;
};

}  // namespace procedure_test
