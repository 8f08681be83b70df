// Vector 148: starting a pass, running the program for one observation,
// and the reports of a run: the run code, the run's errors with the
// variables' values, and the places where missing values were generated.
#include <algorithm>
#include <set>
#include <utility>

#include "platform/compiler/compiler.h"
#include "platform/compiler/executor.h"
#include "platform/compiler/run_messages.h"
#include "platform/compiler/value_format.h"
#include "platform/host.h"
#include "platform/services/service_impls.h"

namespace platform::svc {

using compiler::Compiler;
using compiler::compiler_of;
using compiler::Executor;

namespace {

constexpr std::size_t kLineWidth = 100;

// What cmppxrc reports: the last run on this thread that ended abnormally.
// A code is reported once per place and program, however many observations
// and passes meet it; cmppxrc returns 1 when it wrote the report.
struct LastRun {
  const compiler::Program* program = nullptr;
  compiler::Site site;
  compiler::RunErrorRecord error;
  bool has_error = false;
  std::set<std::pair<int, int>> reported;  // code, place
  int site_index = -1;
};
thread_local LastRun t_last;

Executor* executor_of(CMPGLOBAL* cmp) {
  Compiler* c = compiler_of(cmp);
  return c ? c->executor.get() : nullptr;
}

std::string value_text(const Executor& e, const compiler::VariableView& v) {
  if (v.character) return compiler::format_chars(e.slot_text(v.operand), "");
  return compiler::best_text(e.cells()[v.operand]);
}

// Out of line: the run of every observation passes by it.
[[gnu::noinline]] void remember_abnormal_end(const Executor& e, int code) {
  const compiler::Program& p = e.program();
  if (t_last.program != &p) t_last.reported.clear();
  t_last.program = &p;
  t_last.site_index = e.end_site();
  t_last.site = t_last.site_index >= 0 ? p.sites[static_cast<std::size_t>(t_last.site_index)]
                                       : compiler::Site{};
  // STOP ends the pass without an error; every other abnormal end follows
  // one at once, recorded or not.
  t_last.has_error = code != compiler::kRunStopped;
  if (t_last.has_error) t_last.error = e.last_error();
}

}  // namespace

int cmpexi(int mode, int /*reserved1*/, int /*reserved2*/, CMPGLOBAL* cmp) {
  Executor* e = executor_of(cmp);
  if (!e) return 1;
  if (mode == 1) e->start_pass();
  else e->prepare_observation();
  return 0;
}

int cmprun(int /*entry*/, int /*reserved1*/, int /*reserved2*/, int count_missing,
           int count_errors, int derivatives, int notlast, int lastpass, int* nerr, int* nmiss,
           CMPGLOBAL* cmp) {
  if (nerr) *nerr = 0;
  if (nmiss) *nmiss = 0;
  Compiler* c = compiler_of(cmp);
  Executor* e = executor_of(cmp);
  if (!e) {
    if (c) c->error(26, c->current_segment());
    return compiler::kRunAborted;
  }
  compiler::RunOptions options;
  options.derivatives = std::clamp(derivatives, compiler::kNoDerivatives, compiler::kAllDerivatives);
  options.record_errors = lastpass == 1;
  options.put = notlast == 0 && lastpass != 2;
  compiler::RunCounts counts;
  const int code = e->run(c->current_segment(), options, &counts);
  if (nerr && count_errors) *nerr = counts.errors;
  if (nmiss && count_missing) *nmiss = counts.missing;
  if (code >= compiler::kRunAbandoned) remember_abnormal_end(*e, code);
  return code;
}

int cmppxrc(int code) {
  if (code < compiler::kRunAbandoned || !t_last.program || !Host::exists()) return 0;
  if (code != compiler::kRunStopped && !t_last.has_error) return 0;
  if (!t_last.reported.insert({code, t_last.site_index}).second) return 0;
  const compiler::Site& s = t_last.site;
  if (code == compiler::kRunStopped) Host::current().log_message(148, 46, s.line, s.column);
  else compiler::log_run_error(t_last.error, s);
  return 1;
}

int cmpexlg(CMPGLOBAL* cmp) {
  if (Executor* e = executor_of(cmp)) e->clear_run_errors();
  return 0;
}

int cmpperr(int /*destination*/, int max_lines, CMPGLOBAL* cmp) {
  Executor* e = executor_of(cmp);
  if (!e || !Host::exists() || max_lines < 1 || e->run_errors().empty()) return 0;
  const compiler::Program& p = e->program();
  int lines = 0;
  for (const auto& error : e->run_errors()) {
    if (lines >= max_lines) return 0;
    if (error.site < 0) continue;  // an error of an operation with no place to show
    compiler::log_run_error(error, p.sites[static_cast<std::size_t>(error.site)]);
    ++lines;
  }
  std::string line;
  for (const auto& v : p.variables) {
    const std::string item = v.name + "=" + value_text(*e, v);
    if (!line.empty() && line.size() + 1 + item.size() > kLineWidth) {
      if (lines++ >= max_lines) return 0;
      Host::current().log().line(line);
      line.clear();
    }
    line += (line.empty() ? "" : " ") + item;
  }
  if (!line.empty() && lines < max_lines) Host::current().log().line(line);
  return 0;
}

int cmppmis(CMPGLOBAL* cmp) {
  Executor* e = executor_of(cmp);
  if (!e || !Host::exists()) return 0;
  Host& h = Host::current();
  const auto& sites = e->program().sites;
  const auto missing = compiler::count_places(sites, e->missing_by_site(), kLineWidth);
  if (!missing.empty()) {
    h.log_message(148, 43);
    h.log_message(148, 45);
    for (const auto& l : missing) h.log().line(l);
  }
  const auto failed = compiler::count_places(sites, e->errors_by_site(), kLineWidth);
  if (!failed.empty()) {
    h.log_message(148, 44);
    h.log_message(148, 45);
    for (const auto& l : failed) h.log().line(l);
  }
  return 0;
}

}  // namespace platform::svc
