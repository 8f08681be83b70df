// A scratch folder per test in which the built ruva command runs, with its
// listing and log captured in files there.
#pragma once

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/runner.h"

class RuvaCommandTest : public ::testing::Test {
 protected:
  RuvaCommandTest() {
    // A parameterised test's name holds a '/', which must not make a subfolder.
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '_');
    // The process's number keeps test programs run at once apart.
    dir_ = std::filesystem::temp_directory_path() / ("ruva_e2e_" + std::to_string(::getpid()) + "_" + name);
    std::filesystem::create_directories(dir_);
  }
  ~RuvaCommandTest() override { std::filesystem::remove_all(dir_); }

  void write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name) << text;
  }
  std::string read(const std::string& name) {
    std::ifstream in(dir_ / name);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  // Runs the command in the test folder; returns its exit status, 124 when
  // it is stopped after `seconds` (none when 0).
  int run(const std::string& args, int seconds = 0) {
    return run_after(seconds > 0 ? "timeout " + std::to_string(seconds) + " " : "", args);
  }
  // Runs the command with its address space limited to `kilobytes` (as
  // ulimit -v does, from the loader on); its exit status (-1, or 128 plus
  // the number, when a signal ended it).
  int run_with_memory_limit(const std::string& args, long kilobytes) {
    return run_after("ulimit -v " + std::to_string(kilobytes) + " && ", args);
  }
  // run, with the shell's `prefix` before the command.
  int run_after(const std::string& prefix, const std::string& args) {
    const std::filesystem::path binary = std::filesystem::path(RUVA_BINARY_DIR) / "ruva";
    if (!std::filesystem::exists(binary)) {
      ADD_FAILURE() << binary << " is not built";
      return -1;
    }
    const std::string command = "cd '" + dir_.string() + "' && " + prefix + "'" + binary.string() + "' " +
                                args + " >listing.txt 2>log.txt";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // Starts the command with `args` in the test folder, run by `runner`
  // (a program and its arguments, such as strace) when one is given; its
  // standard output and error go to the descriptors `out` and `err` when
  // given, else nowhere, and SIGTERM and SIGQUIT keep their default
  // action, as they would not in a background job. The process id.
  pid_t start(const std::vector<std::string>& args, std::vector<std::string> runner = {}, int out = -1,
              int err = -1) {
    std::vector<std::string> words = std::move(runner);
    words.push_back((std::filesystem::path(RUVA_BINARY_DIR) / "ruva").string());
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
      std::signal(SIGTERM, SIG_DFL);
      std::signal(SIGQUIT, SIG_DFL);
      const bool streams = out >= 0 ? dup2(out, 1) == 1 && dup2(err, 2) == 2
                                    : freopen("/dev/null", "w", stdout) && freopen("/dev/null", "w", stderr);
      if (chdir(dir_.c_str()) == 0 && streams) execvp(argv[0], argv.data());
      _exit(127);
    }
    return child;
  }
  // Runs the command with `args` in the subfolder `folder` under strace,
  // which stops it after each of its calls that names `name` (as the run
  // writes the name: strace matches the text); at the n-th stop, with the
  // run stopped, `at_stop(n, run)` acts (`run` is the stopped process), and
  // the run goes on. The status of strace, which ends as the run does.
  int run_stopping_at(const std::string& folder, const std::string& args, const std::string& name,
                      const std::function<void(int, pid_t)>& at_stop) {
    const std::filesystem::path trace = dir_ / "stops.txt";
    std::filesystem::remove(trace);
    // The leak checker of a sanitizer build cannot run under ptrace.
    const std::string script =
        "cd '" + folder + "' && ASAN_OPTIONS=\"$ASAN_OPTIONS:detect_leaks=0\" exec \"$@\" " + args;
    const pid_t tracer = start({}, {"sh", "-c", script, "sh", "strace", "-f", "-qq", "-o", trace.string(), "-P", name,
                                    "-e", "trace=all", "-e", "inject=all:signal=SIGSTOP"});
    int status = 0;
    for (int stop = 1;; ++stop) {
      pid_t stopped = 0;
      while ((stopped = stopped_thread(trace, stop)) == 0 && waitpid(tracer, &status, WNOHANG) == 0) usleep(200);
      if (stopped == 0) return status;
      at_stop(stop, stopped);
      kill(stopped, SIGCONT);
    }
  }
  // The thread that the `stop`-th SIGSTOP of the trace `trace` has stopped,
  // once it has; 0 until then.
  static pid_t stopped_thread(const std::filesystem::path& trace, int stop) {
    std::ifstream in(trace);
    int seen = 0;
    std::string pid;
    for (std::string line; std::getline(in, line);) {
      const std::string at = line.substr(0, line.find(' '));
      if (seen < stop && line.find(" --- SIGSTOP {") != std::string::npos && ++seen == stop) pid = at;
      else if (seen == stop && at == pid && line.find(" --- stopped by SIGSTOP ---") != std::string::npos)
        return std::stoi(pid);
    }
    return 0;
  }
  // Whether the process `run` waits for a lock: a request that waits is
  // listed in /proc/locks with "->" and its process.
  static bool waits_for_a_lock(pid_t run) {
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);)
      if (line.find("-> FLOCK") != std::string::npos && line.find(" " + std::to_string(run) + " ") != std::string::npos)
        return true;
    return false;
  }
  // Runs the command inside this process, in the test folder, and keeps its
  // listing and log in memory. For a test that limits what the run may do
  // (the size of the files it writes, say): a child process would keep the
  // limit up to its exit, where a build instrumented for coverage writes its
  // counts, which the limit would cut short and garble.
  int run_here(const std::string& args) {
    std::vector<std::string> words{"ruva"};
    std::istringstream in(args);
    for (std::string w; in >> w;) words.push_back(w);
    std::vector<const char*> argv;
    for (const std::string& w : words) argv.push_back(w.c_str());
    app::CommandLine cmd;
    std::string error;
    if (!app::parse_command_line(static_cast<int>(argv.size()), argv.data(), &cmd, &error)) {
      ADD_FAILURE() << error;
      return -1;
    }
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    std::ostringstream listing, log;
    const int status = app::run(cmd, listing, log);
    std::filesystem::current_path(before);
    here_listing_ = listing.str();
    here_log_ = log.str();
    return status;
  }
  // run_here with files limited to `bytes` and SIGXFSZ given `action`
  // (SIG_IGN: a write past the limit fails with EFBIG; SIG_DFL: it would
  // end the process); both are restored after the run.
  int run_here_with_file_limit(const std::string& args, rlim_t bytes, void (*action)(int)) {
    rlimit before;
    if (getrlimit(RLIMIT_FSIZE, &before) != 0) return -1;
    rlimit limited = before;
    limited.rlim_cur = bytes;
    auto* const handler = std::signal(SIGXFSZ, action);
    const int status = setrlimit(RLIMIT_FSIZE, &limited) == 0 ? run_here(args) : -1;
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, handler);
    return status;
  }
  // Puts the listing and log of the last run_here in their files (once the
  // run's limits are lifted).
  void keep_captured() {
    write("listing.txt", here_listing_);
    write("log.txt", here_log_);
  }
  std::string here_listing_, here_log_;
  std::filesystem::path dir_;
};
