// Running out of memory anywhere in a run ends the step with 1016 and the
// out-of-memory message, later steps run as after any failed step, and no
// temporary file is left: allocations of a run that fits, profiles,
// bootstraps, draws and writes data sets are refused in turn (by this
// program's operator new), and the run is made under a sweep of
// address-space limits. Each run is a child process in a folder of its own.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <new>

#include "support/ruva_command.h"

namespace {

std::atomic<long> g_allocations{0};
std::atomic<long> g_refused{-1};  // the allocation refused; below 0, none

}  // namespace

// As the library's, but refusing the chosen allocation: the new handler
// runs, as when the system has no room.
void* operator new(std::size_t bytes) {
  for (;;) {
    if (g_allocations.fetch_add(1, std::memory_order_relaxed) != g_refused.load(std::memory_order_relaxed))
      if (void* block = std::malloc(bytes ? bytes : 1)) return block;
    const std::new_handler handler = std::get_new_handler();
    if (!handler) throw std::bad_alloc();
    handler();
  }
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace {

namespace fs = std::filesystem;

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RUVA_TEST_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(RUVA_TEST_ASAN)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

const char* const kProgram =
    "proc ruva data=puromycin nthreads=1 outest=est;\n by state;\n parms Vm=200 K=0.05;\n"
    " model rate = Vm*conc/(K+conc);\n profile Vm K / all profdata=pp;\n"
    " bootstrap / seed=1 nsamples=20 bootplots(all) bootdata=bb;\n output out=o p=p;\nrun;\n"
    "proc ruva data=puromycin; parms Vm=200 K=0.05; model rate = Vm*conc/(K+conc); run;\n";

class MemoryTest : public RuvaCommandTest {
 protected:
  // Runs the command in a fresh folder `name` with the allocation `refused`
  // refused (none when negative); the exit status and the log.
  int run_in(const std::string& name, long refused, std::string* log_text) {
    const fs::path folder = dir_ / name;
    fs::create_directories(folder);
    fs::copy_file(fs::path(RUVA_SOURCE_DIR) / "examples/puromycin.csv", folder / "puromycin.csv");
    std::ofstream(folder / "p.ruva") << kProgram;
    const char* argv[] = {"ruva", "--work", ".", "--json", "j.json", "--html", "r.html", "--graphs", "g", "p.ruva"};
    app::CommandLine cmd;
    std::string error;
    app::parse_command_line(10, argv, &cmd, &error);
    const fs::path before = fs::current_path();
    fs::current_path(folder);
    std::ostringstream listing, log;
    g_allocations = 0;
    g_refused = refused;
    const int status = app::run(cmd, listing, log);
    g_refused = -1;
    fs::current_path(before);
    *log_text = log.str();
    return status;
  }

  // Why the run in `name` did not end as a shortage must: "" when it did.
  // With `transient`, one allocation was refused and the second step runs.
  static std::string fault(const fs::path& folder, int status, const std::string& log, bool transient) {
    for (const auto& e : fs::recursive_directory_iterator(folder))
      if (e.path().filename().string().find(".tmp") != std::string::npos) return "left " + e.path().string();
    if (status == 0) return "";  // the refused allocation had a way round it
    const bool said = log.find("ERROR: The step ran out of memory and was stopped.") != std::string::npos ||
                      log.find("ERROR: Insufficient memory") != std::string::npos ||
                      log.find("ERROR: The run ran out of memory and was stopped.") != std::string::npos ||
                      log.find("ERROR: The report r.html was not written: there is not enough memory.") !=
                          std::string::npos;
    if (!said) return "no word of memory";
    const std::size_t codes = log.find("Return codes by step: ");
    if (codes != std::string::npos && log.find("1012", codes) != std::string::npos) return "1012";
    // A failed first step writes no data set; after it, the second runs.
    if (codes != std::string::npos && log.find("1: 1016", codes) != std::string::npos) {
      for (const char* ds : {"est.csv", "pp.csv", "bb.csv", "o.csv"})
        if (fs::exists(folder / ds)) return std::string("wrote ") + ds;
      if (transient && log.find("2: 0", codes) == std::string::npos) return "the second step did not run";
    }
    return "";
  }

  // Runs `body` in a child process; its exit status, or -signal.
  static int in_child(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) _exit(body());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  }
  int checked_run(const std::string& name, long refused) {
    std::string log;
    const int status = run_in(name, refused, &log);
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

}  // namespace
