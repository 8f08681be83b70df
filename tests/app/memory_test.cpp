// Running out of memory anywhere in a run ends the step with 1016 and the
// out-of-memory message, later steps run as after any failed step, and no
// temporary file is left. This program's operator new refuses a chosen
// allocation, as the system does when it has no room: the parts that met
// shortages take every refusal in turn, a run that fits, profiles,
// bootstraps, draws and writes data sets takes refusals spread over it, and
// it runs under a sweep of address-space limits. Each refusal is made in a
// child process.
//
// Only the allocations of the run's own thread and of its steps' threads
// are counted and refused: their order does not depend on timing, so the
// same allocation is refused every time. RUVA_MEMORY_SWEEP=stride[:nthreads
// [:first:last]] refuses every stride-th allocation of the run (from first
// to last) instead, with the procedure's threads too when nthreads is above
// 1, and reports the counts.
#include <gtest/gtest.h>

#include <pthread.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <map>
#include <new>

#include "platform/datasets/sidecar.h"
#include "platform/graphs/graph_data.h"
#include "platform/language/printer.h"
#include "platform/language/step_parser.h"
#include "platform/libraries.h"
#include "platform/output/output_objects.h"
#include "platform/output/output_render.h"
#include "platform/threads/large_stack.h"
#include "support/output_fixture.h"
#include "support/ruva_command.h"
#include "support/sanitized.h"

namespace {

std::atomic<long> g_allocations{0};
std::atomic<long> g_refused{-1};  // the allocation refused; below 0, none
bool g_every_thread = false;      // count the procedure's worker threads too

// The first thread and the steps' threads, whose stacks are large; not the
// worker pools' threads.
bool counted_thread() {
  thread_local const bool counted = [] {
    if (gettid() == getpid()) return true;
    pthread_attr_t attr;
    std::size_t size = 0;
    if (pthread_getattr_np(pthread_self(), &attr) != 0) return false;
    pthread_attr_getstacksize(&attr, &size);
    pthread_attr_destroy(&attr);
    return size >= platform::kParseStackBytes;
  }();
  return g_every_thread || counted;
}

}  // namespace

// As the library's, but refusing the chosen allocation: the new handler
// runs, as when the system has no room.
void* operator new(std::size_t bytes) {
  for (;;) {
    const long at = counted_thread() ? g_allocations.fetch_add(1, std::memory_order_relaxed) : -2;
    if (at != g_refused.load(std::memory_order_relaxed))
      if (void* block = std::malloc(bytes ? bytes : 1)) return block;
    const std::new_handler handler = std::get_new_handler();
    if (!handler) throw std::bad_alloc();
    handler();
  }
}
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
  try {
    return ::operator new(bytes);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }

namespace {

namespace fs = std::filesystem;

// Runs `body` in a child process; its exit status, or -signal.
int in_child(const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

// Refuses each allocation of `body` in turn: each must end in the right
// result (`body` says whether it is) or std::bad_alloc, never end the
// process.
void expect_every_refusal_thrown(const std::function<bool()>& body) {
  g_allocations = 0;
  ASSERT_TRUE(body());
  const long total = g_allocations;
  for (long k = 0; k < total; ++k)
    EXPECT_EQ(in_child([&] {
                g_allocations = 0;
                g_refused = k;
                try {
                  return body() ? 0 : 1;
                } catch (const std::bad_alloc&) {
                  return 0;
                }
              }),
              0)
        << "allocation " << k << " of " << total;
}

TEST(MemoryRefusalTest, ACaseBlindSearchForAFileThrowsWhenShort) {
  const fs::path dir = fs::temp_directory_path() / ("ruva_refusal_" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "Data.CSV") << "x\n1\n";
  expect_every_refusal_thrown([&] { return platform::Libraries::find_file(dir, "data.csv") == dir / "Data.CSV"; });
  fs::remove_all(dir);
}

// JSON values are taken apart without allocating, so that they can go at
// any time, and are built so that no container is left to destroy.
TEST(MemoryRefusalTest, JsonValuesAreBuiltRenderedAndDestroyedOrThrowWhenShort) {
  platform::OutputItem item;
  item.kind = "graph";
  item.columns.resize(2);
  item.columns[0].extra["287"] = "a";
  item.rows = {{platform::Cell::of_number(1.5), platform::Cell::of_text("b")}};
  item.attributes["x"] = 1;
  item.extra["path"] = nlohmann::ordered_json::array({"p", "q"});
  item.extra["dynamic"] = nlohmann::ordered_json::object();
  item.extra["dynamic"]["_ALPHA"] = 0.05;
  item.extra["file"] = "g/fit.svg";
  expect_every_refusal_thrown([&] {
    const platform::OutputItem copy = item;
    std::ostringstream json;
    platform::write_json(copy, json);
    platform::DataObject table;
    table.attributes["a"] = 1;
    platform::graphs::GraphRequest graph;
    graph.dynamic["b"] = 2;
    platform::ds::Variable v;
    v.name = "s";
    v.type = platform::ds::VarType::Character;
    return !platform::ds::sidecar_text({v, v}, "EST", "label").empty();
  });
}

// A table made with a setting, in a step of its own.
void table_with_a_setting() {
  WOB_PARM_BLK_STR pb[5] = {wob_chars(143, "yol", 3), wob_chars(146, "data", 4), wob_object(144, nullptr),
                            wob_text(138, yoltxt("t", -1)), wob_int(500, 1)};
  wobmth(make_manager(), nullptr, 147, 5, pb);
}

// The output service's requests end their step, the step's end included,
// and nothing else: made at each refusal in turn, an object's settings go
// whatever becomes of it.
TEST(MemoryRefusalTest, AnOutputRequestEndsItsStepWhenShort) {
  std::ostringstream log, listing;
  platform::Host host({&log, &listing, nullptr});
  expect_every_refusal_thrown([&] { return host.run_step_with(&table_with_a_setting) <= 1016; });
}

// What --parse-only shows is the whole text or none of it.
TEST(MemoryRefusalTest, AParsedStepIsShownWholeOrNotAtAll) {
  const auto step = platform::language::parse_step(
      "proc ruva data=d; parms a=1 b=2; if x > 1 then y = a; else y = b; model z = a*exp(-b*x); run;", 1);
  const std::string whole = platform::language::step_text(*step);
  expect_every_refusal_thrown([&] { return platform::language::step_text(*step) == whole; });
}

const char* const kProgram =
    "proc ruva data=puromycin nthreads=%d outest=est;\n by state;\n parms Vm=200 K=0.05;\n"
    " model rate = Vm*conc/(K+conc);\n profile Vm K / all profdata=pp;\n"
    " bootstrap / seed=1 nsamples=20 bootplots(all) bootdata=bb;\n output out=o p=p;\nrun;\n"
    "proc ruva data=puromycin nthreads=%d; parms Vm=200 K=0.05; model rate = Vm*conc/(K+conc); run;\n";

class MemoryTest : public RuvaCommandTest {
 protected:
  // Runs the command in a fresh folder `name` with the allocation `refused`
  // refused (none when negative); the exit status and the log.
  int run_in(const std::string& name, long refused, std::string* log_text, int threads = 1) {
    const fs::path folder = dir_ / name;
    fs::create_directories(folder);
    fs::copy_file(fs::path(RUVA_SOURCE_DIR) / "examples/puromycin.csv", folder / "puromycin.csv");
    char program[1024];
    std::snprintf(program, sizeof program, kProgram, threads, threads);
    std::ofstream(folder / "p.ruva") << program;
    // The listing and log go to files, as the command's do: a string
    // stream keeps a failed allocation to itself.
    const char* argv[] = {"ruva", "--work", ".", "--listing", "l.lst", "--log", "r.log", "--json", "j.json",
                          "--html", "r.html", "--graphs", "g", "p.ruva"};
    app::CommandLine cmd;
    std::string error;
    app::parse_command_line(14, argv, &cmd, &error);
    const fs::path before = fs::current_path();
    fs::current_path(folder);
    std::ostringstream listing, log;
    g_allocations = 0;
    g_refused = refused;
    const int status = app::run(cmd, listing, log);
    g_refused = -1;
    fs::current_path(before);
    std::ifstream in(folder / "r.log");
    *log_text = log.str() + std::string(std::istreambuf_iterator<char>(in), {});
    return status;
  }

  // Why the run in `name` did not end as a shortage must: "" when it did.
  // With `transient`, one allocation was refused and the second step runs.
  static std::string fault(const fs::path& folder, int status, const std::string& log, bool transient) {
    for (const auto& e : fs::recursive_directory_iterator(folder))
      if (e.path().filename().string().rfind(".ruva-", 0) == 0) return "left " + e.path().string();
    if (status == 0) return "";  // the refused allocation had a way round it
    const bool said = log.find("ERROR: The step ran out of memory and was stopped.") != std::string::npos ||
                      log.find("ERROR: Insufficient memory") != std::string::npos ||
                      log.find("ERROR: The run ran out of memory and was stopped.") != std::string::npos ||
                      log.find("ERROR: The report r.html was not written: there is not enough memory.") !=
                          std::string::npos;
    if (!said) return "no word of memory";
    const std::size_t codes = log.find("Return codes by step: ");
    if (codes != std::string::npos && log.find("1012", codes) != std::string::npos) return "1012";
    // A failed first step keeps the data sets it finished and discards,
    // saying so, those it did not; after it, the second step runs.
    if (codes != std::string::npos && log.find("1: 1016", codes) != std::string::npos) {
      for (const std::string ds : {"est", "pp", "bb", "o"})
        if (fs::exists(folder / (ds + ".csv")) &&
            log.find("The data set WORK." + ds + " was not written") != std::string::npos)
          return "wrote " + ds + ", said not to be written";
      if (transient && log.find("2: 0", codes) == std::string::npos) return "the second step did not run";
    }
    return "";
  }

  // 0 when the run ended as it must, else 1 after saying why.
  int checked_run(const std::string& name, long refused, int threads = 1) {
    std::string log;
    const int status = run_in(name, refused, &log, threads);
    const std::string why = fault(dir_ / name, status, log, refused >= 0);
    if (why.empty()) return 0;
    std::fprintf(stderr, "%s: %s\n%s", name.c_str(), why.c_str(), log.c_str());
    return 1;
  }
};

TEST_F(MemoryTest, EveryRefusedAllocationEndsItsStepWith1016AndLeavesNoTemporaryFile) {
  std::string log;
  ASSERT_EQ(run_in("whole", -1, &log), 0) << log;
  const long total = g_allocations.load();
  constexpr long kPoints = 60;
  for (long k = 0; k < kPoints; ++k) {
    const long n = total * k / kPoints + k;  // spread over the whole run, with a drift
    EXPECT_EQ(in_child([&] { return checked_run("n" + std::to_string(n), n); }), 0) << "allocation " << n;
  }
}

// Limits from less than the run needs to get going to more than it needs.
TEST_F(MemoryTest, EveryAddressSpaceLimitEndsTheRunWithARightOutcome) {
  if (kSanitized) GTEST_SKIP() << "a sanitizer reserves more address space than any limit leaves";
  long pages = 0;
  std::ifstream("/proc/self/statm") >> pages;
  const double now = static_cast<double>(pages) * static_cast<double>(sysconf(_SC_PAGESIZE));
  int completed = 0;
  for (int extra_mb = 8; extra_mb <= 200 && completed < 2; extra_mb += 24) {
    const int status = in_child([&] {
      rlimit limit{};
      getrlimit(RLIMIT_AS, &limit);
      limit.rlim_cur = static_cast<rlim_t>(now) + (static_cast<rlim_t>(extra_mb) << 20);
      if (setrlimit(RLIMIT_AS, &limit) != 0) return 0;
      return checked_run("mb" + std::to_string(extra_mb), -1);
    });
    EXPECT_EQ(status, 0) << "limit of " << extra_mb << " MB past what the test holds";
    if (status == 0 && fs::exists(dir_ / ("mb" + std::to_string(extra_mb)) / "bb.csv")) ++completed;
  }
  EXPECT_EQ(completed, 2) << "no limit left room for the whole run";
}

// A shortage met as the run takes its program apart into steps, before
// the first step begins, is that step's: it ends with 1016. The first
// refused allocation after which the log lists the steps' return codes is
// the first of that work, found by bisection: before it, the run stops
// without a step.
TEST_F(MemoryTest, AShortageBeforeTheFirstStepBeginsEndsItWith1016) {
  std::string log;
  ASSERT_EQ(run_in("whole", -1, &log), 0) << log;
  auto log_with_refused = [&](long k) {
    const std::string name = "n" + std::to_string(k);
    fs::remove_all(dir_ / name);
    in_child([&] {
      run_in(name, k, &log);
      std::ofstream(dir_ / name / "all.log") << log;
      return 0;
    });
    return read(name + "/all.log");
  };
  auto lists_codes = [&](long k) { return log_with_refused(k).find("Return codes by step: ") != std::string::npos; };
  long low = 0, high = g_allocations.load() / 2;
  ASSERT_FALSE(lists_codes(low));
  ASSERT_TRUE(lists_codes(high));
  while (high - low > 1) (lists_codes((low + high) / 2) ? high : low) = (low + high) / 2;
  log = log_with_refused(high);
  EXPECT_NE(log.find("ERROR: The run ran out of memory and was stopped.\n"), std::string::npos) << log;
  EXPECT_NE(log.find("NOTE: Return codes by step: 1: 1016.\n"), std::string::npos) << log;
}

// Limits from the least the loader needs, in steps of 20 KB through the
// start and then wider up to one the run fits in: the command runs, or
// ends with 2 and says why in its log, or, when it could not start, says
// so on standard error and leaves the log empty. A log never ends inside a
// line.
TEST_F(MemoryTest, EveryStartShortOfMemoryEndsWithTheMessageAndTheLogInWholeLines) {
  if (kSanitized) GTEST_SKIP() << "a sanitizer reserves more address space than any limit leaves";
  for (const char* file : {"bod.csv", "profile.ruva"})
    fs::copy_file(fs::path(RUVA_SOURCE_DIR) / "examples" / file, dir_ / file);
  const std::string args = "--listing l.lst --log l.log profile.ruva";
  // Below some limit the command cannot be loaded and none of it runs: the
  // dynamic loader ends with 127, or, where the program's image itself does
  // not fit (a larger build's), the kernel ends the exec with SIGSEGV.
  // Either way no log is written. The sweep starts at the least limit that
  // loads.
  auto loaded = [&](long kb) {
    fs::remove(dir_ / "l.log");
    const int status = run_with_memory_limit(args, kb);
    if (status != 127 && status != 128 + SIGSEGV) return true;
    EXPECT_FALSE(fs::exists(dir_ / "l.log")) << kb << " KB: exit " << status << " after the log was opened";
    return false;
  };
  long low = 4096, high = 1L << 22;
  ASSERT_FALSE(loaded(low));
  ASSERT_TRUE(loaded(high));
  while (high - low > 20) (loaded((low + high) / 2) ? high : low) = (low + high) / 2;
  int status = 2, failed = 0;
  for (long kb = high; status != 0 && kb < (1L << 22) && failed < 5; kb += kb < high + 4000 ? 20 : kb / 20) {
    fs::remove(dir_ / "l.log");
    status = run_with_memory_limit(args, kb);
    const std::string log = read("l.log"), said = read("log.txt");
    const bool right = (status == 0 || status == 2) && (log.empty() || log.back() == '\n') &&
                       (status == 0 || log.find("ERROR: ") != std::string::npos ||
                        said == "ruva: there is not enough memory to start.\n");
    if (!right) ++failed;
    EXPECT_TRUE(right) << kb << " KB: exit " << status << "\nlog: " << log << "\nstandard error: " << said;
  }
  EXPECT_EQ(status, 0) << "no limit left room for the run";
}

// Every stride-th allocation, four children at a time (RUVA_MEMORY_SWEEP).
TEST_F(MemoryTest, Sweep) {
  const char* setting = std::getenv("RUVA_MEMORY_SWEEP");
  if (!setting) GTEST_SKIP() << "set RUVA_MEMORY_SWEEP=stride[:nthreads[:first:last]]";
  long stride = 1, first = 0, last = -1;
  int threads = 1;
  std::sscanf(setting, "%ld:%d:%ld:%ld", &stride, &threads, &first, &last);
  g_every_thread = threads > 1;
  std::string log;
  ASSERT_EQ(run_in("whole", -1, &log, threads), 0) << log;
  const long total = g_allocations.load();
  std::map<pid_t, long> running;
  std::map<int, long> ends;  // by how the child ended (below)
  auto reap = [&] {
    int status = 0;
    const pid_t pid = wait(&status);
    const int end = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    ++ends[end];
    EXPECT_TRUE(end == 0 || end == 2) << "allocation " << running[pid];
    fs::remove_all(dir_ / ("n" + std::to_string(running[pid])));
    running.erase(pid);
  };
  for (long n = first; n < (last < 0 ? total : last); n += stride) {
    if (running.size() >= 4) reap();
    const pid_t pid = fork();
    if (pid == 0) {  // 0: stopped as a shortage must, 2: completed, 1: wrong
      const std::string name = "n" + std::to_string(n);
      const int status = run_in(name, n, &log, threads);
      const std::string why = fault(dir_ / name, status, log, true);
      if (!why.empty()) std::fprintf(stderr, "%s: %s\n%s", name.c_str(), why.c_str(), log.c_str());
      _exit(!why.empty() ? 1 : status == 0 ? 2 : 0);
    }
    running[pid] = n;
  }
  while (!running.empty()) reap();
  long refused = 0;
  for (const auto& [end, count] : ends) refused += count;
  std::fprintf(stderr, "%ld allocations, %ld refused: %ld stopped with the message, %ld completed, %ld wrong, %ld killed\n",
               total, refused, ends[0], ends[2], ends[1], refused - ends[0] - ends[1] - ends[2]);
}

}  // namespace
