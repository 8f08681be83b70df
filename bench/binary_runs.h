// What the benchmarks that run the ruva binary share: a scratch folder
// removed at exit, the binary under test, and files written there.
#pragma once

#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

namespace binary_runs {

namespace fs = std::filesystem;

// Removes the folder at exit.
struct RemovedAtExit {
  const fs::path& dir;
  ~RemovedAtExit() {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
};

// A folder of the benchmark's own under the temporary folder, named from
// `prefix` by the first call.
inline const fs::path& work_dir(const std::string& prefix) {
  static const fs::path dir = [&] {
    std::string pattern = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
    return fs::path(mkdtemp(pattern.data()));
  }();
  static const RemovedAtExit removed{dir};  // made after the path, so gone before it
  return dir;
}

// The binary beside the benchmark, or the one RUVA_BINARY names.
inline fs::path binary() {
  if (const char* b = std::getenv("RUVA_BINARY")) return b;
  return fs::read_symlink("/proc/self/exe").parent_path() / "ruva";
}

// How a child run ended: its status as waitpid gives it, and its resource
// usage.
struct ChildRun {
  int status = 0;
  rusage usage{};
  bool succeeded(int highest_exit) const { return WIFEXITED(status) && WEXITSTATUS(status) <= highest_exit; }
};

// Runs `bin` with `args` in `dir`, its standard output and error to
// /dev/null, its address space limited to `address_limit` bytes when that
// is not 0.
inline ChildRun run_quietly(const std::string& bin, const std::vector<std::string>& args, const fs::path& dir,
                            rlim_t address_limit = 0) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(127);
    if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(127);
    if (address_limit) {
      const rlimit limit{address_limit, address_limit};
      setrlimit(RLIMIT_AS, &limit);
    }
    std::vector<char*> argv{const_cast<char*>(bin.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(bin.c_str(), argv.data());
    _exit(127);
  }
  ChildRun run;
  wait4(pid, &run.status, 0, &run.usage);
  return run;
}

inline void write_file(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }

// The processor time (user and system) of a run in milliseconds, or -1
// when it failed.
inline double cpu_milliseconds(const ChildRun& run, int highest_exit = 0) {
  if (!run.succeeded(highest_exit)) return -1;
  auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
  return ms(run.usage.ru_utime) + ms(run.usage.ru_stime);
}

inline double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace binary_runs
