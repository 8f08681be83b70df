// Writes that fail and runs that are stopped: a log that cannot be written
// goes on in the default log and fails the run, a file beyond the size
// limit is a failed write like any other, and a run stopped by a signal
// leaves no temporary file and ends by that signal.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/ruva_command.h"

namespace fs = std::filesystem;

namespace {

class FailedWritesTest : public RuvaCommandTest {
 protected:
  FailedWritesTest() {
    write("d.csv", "x,y\n1,2.1\n2,3.9\n3,6.2\n4,7.8\n");
    write("p.ruva", "proc ruva data=d; parms a=1; model y = a*x; run;\n");
  }
  // A data set large enough that its fit plot's JSON takes a while.
  void write_large_data() {
    std::string rows = "x,y\n";
    for (int i = 1; i <= 100000; ++i) rows += std::to_string(i) + "," + std::to_string(2 * i + i % 7) + "\n";
    write("d.csv", rows);
  }
  // The temporary files (hidden, beside their targets) left in `folder`.
  int hidden_files(const std::string& folder) {
    int n = 0;
    for (const auto& entry : fs::directory_iterator(dir_ / folder)) n += entry.path().filename().string()[0] == '.';
    return n;
  }
};

TEST_F(FailedWritesTest, ALogThatCannotBeWrittenGoesOnInTheDefaultLogAndFailsTheRun) {
  ASSERT_EQ(run_here("--log whole.log p.ruva"), 0);
  EXPECT_EQ(run_here("--log /dev/full p.ruva"), 2);
  EXPECT_EQ(here_log_, "ERROR: The log file /dev/full could not be written completely: No space left on device; "
                       "the rest of the log is written to standard error.\n" + read("whole.log"));
  // The default log itself: nowhere left to say so, but the status does.
  app::CommandLine cmd;
  std::string error;
  const std::string work = dir_.string(), program = (dir_ / "p.ruva").string();
  const char* argv[] = {"ruva", "--work", work.c_str(), program.c_str()};
  ASSERT_TRUE(app::parse_command_line(4, argv, &cmd, &error)) << error;
  std::ostringstream listing;
  std::ostream broken(nullptr);
  EXPECT_EQ(app::run(cmd, listing, broken), 2);
}

// A standard stream closed when the run starts is no free number for the
// first file the run opens: the listing meant for it goes into no other
// output, and fails as any write does.
TEST_F(FailedWritesTest, AClosedStandardOutputLendsItsNumberToNoFile) {
  ASSERT_EQ(run("--html r.html --json j.json p.ruva"), 0);
  const std::string report = read("r.html"), json = read("j.json");
  const std::string command = "cd '" + dir_.string() + "' && '" + (fs::path(RUVA_BINARY_DIR) / "ruva").string() +
                              "' --html r.html --json j.json p.ruva >&- 2>log.txt";
  const int status = std::system(command.c_str());
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 2) << read("log.txt");
  EXPECT_TRUE(read("r.html") == report) << "the report differs";
  EXPECT_TRUE(read("j.json") == json) << "the JSON lines differ";
  EXPECT_NE(read("log.txt").find("ERROR: The listing could not be written completely: Bad file descriptor."),
            std::string::npos)
      << read("log.txt");
}

// Files over 12 KB cannot be written, and SIGXFSZ keeps its default action,
// which would end the process.
// A data set that cannot be begun says why once: neither its rows nor the
// step that its failure failed say it again. Here it is led to standard
// output, held until the step ends in a temporary folder that is not there.
TEST_F(FailedWritesTest, ADataSetThatCannotBeBegunSaysWhyOnce) {
  for (const char* program : {"proc ruva data=d outest=e; parms a=1; model y = a*x; run;\n",
                              "proc ruva data=d; parms a=1; model y = a*x; profile a / profdata=e; run;\n"}) {
    write("e.ruva", program);
    fs::remove(dir_ / "e.csv");
    fs::create_symlink("/dev/stdout", dir_ / "e.csv");
    EXPECT_EQ(run_after("{ TMPDIR=/nonexistent ", "--listing l.lst e.ruva 2>err.txt; } | cat"), 0);
    const std::string log = read("err.txt");
    EXPECT_NE(log.find("ERROR: The data set WORK.e was not written: holding the text of /dev/stdout in a temporary "
                       "file until it is complete failed: No such file or directory.\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("WORK.e"), log.rfind("WORK.e")) << program << log;
    EXPECT_TRUE(log.ends_with("NOTE: Return codes by step: 1: 1016.\n")) << log;
  }
}

// A data set file that gives out part way loses the whole data set: one
// ERROR says so with the system's reason, and names no row (the row at
// which the file gave out has nothing to do with the cause). Here the
// BOOTDATA= rows go past 16 KB.
TEST_F(FailedWritesTest, ADataSetThatGivesOutPartWaySaysWhyOnce) {
  write("b.ruva", "proc ruva data=d noprint; parms a=1; model y = a*x; bootstrap / seed=1 bootdata=bd; run;\n");
  EXPECT_EQ(run_here_with_file_limit("b.ruva", 16 << 10, SIG_IGN), 2);
  EXPECT_NE(here_log_.find("ERROR: The data set WORK.bd was not written: writing bd.csv failed: File too large.\n"),
            std::string::npos)
      << here_log_;
  EXPECT_EQ(here_log_.find("WORK.bd"), here_log_.rfind("WORK.bd")) << here_log_;
  EXPECT_TRUE(here_log_.ends_with("NOTE: Return codes by step: 1: 1016.\n")) << here_log_;
}

TEST_F(FailedWritesTest, AFileBeyondTheSizeLimitIsAFailedWrite) {
  write("g.ruva", "proc ruva data=d plots=all; parms a=1; model y = a*x; run;\n");
  const int status = run_here_with_file_limit("--graphs g g.ruva", 12 << 10, SIG_DFL);
  EXPECT_EQ(status, 1) << here_log_;
  EXPECT_NE(here_log_.find("WARNING: The graph FitDiagnosticsPanel was not written: writing "
                           "g/step1_FitDiagnosticsPanel.svg failed: File too large."),
            std::string::npos)
      << here_log_;
  EXPECT_EQ(hidden_files("g"), 0);
}

// The run is stopped while it writes its output data sets (o.csv is about
// 10 MB), as soon as one of their temporary files is seen.
TEST_F(FailedWritesTest, AStoppedRunRemovesItsTemporaryFilesAndEndsByTheSignal) {
  std::string rows = "x,y\n";
  for (int i = 1; i <= 100000; ++i) rows += std::to_string(i) + "," + std::to_string(2 * i + i % 7) + "\n";
  write("d.csv", rows);
  write("o.ruva", "proc ruva data=d outest=e; parms a=1; model y = a*x; output out=o p=p r=r h=h student=s; run;\n");
  const std::string binary = (fs::path(RUVA_BINARY_DIR) / "ruva").string();
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      std::signal(signal, SIG_DFL);  // not ignored as in a background job
      if (chdir(dir_.c_str()) == 0 && freopen("/dev/null", "w", stdout) && freopen("/dev/null", "w", stderr))
        execl(binary.c_str(), "ruva", "o.ruva", static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = 0;
    bool seen = false;
    while (waitpid(child, &status, WNOHANG) == 0) {
      if (!seen && hidden_files(".") > 0) seen = kill(child, signal) == 0;
      usleep(200);
    }
    ASSERT_TRUE(seen) << "the run ended before a temporary file was seen";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    EXPECT_EQ(hidden_files("."), 0) << strsignal(signal);
  }
}

// The JSON file is written whole or not at all: a run stopped while it
// writes it (its temporary file, the run's only one, holds some lines, or, written in place, the
// file has changed) leaves the earlier file and no temporary file, and its
// log ends with the signal's name.
TEST_F(FailedWritesTest, AStoppedRunKeepsTheEarlierJsonAndEndsItsLogWithTheSignal) {
  write_large_data();
  write("j.ruva", "proc ruva data=d plots=fit; parms a=1; model y = a*x; run;\n");
  ASSERT_EQ(run("--json j.json j.ruva"), 0) << read("log.txt");
  const std::string earlier = read("j.json");
  auto json_begun = [&] {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir_))
      // The run's trial files come and go: one that has gone has no size.
      if (entry.path().filename().string().rfind(".ruva-", 0) == 0 && fs::file_size(entry.path(), ec) > 0 && !ec)
        return true;
    const auto size = fs::file_size(dir_ / "j.json", ec);
    return !ec && size != earlier.size();
  };
  const pid_t child = start({"--log", "j.log", "--json", "j.json", "j.ruva"});
  ASSERT_GT(child, 0);
  int status = 0;
  bool stopped = false;
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (!stopped && json_begun()) stopped = kill(child, SIGTERM) == 0;
    usleep(200);
  }
  ASSERT_TRUE(stopped) << "the run ended before its JSON was begun";
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_TRUE(read("j.json") == earlier) << "the earlier JSON file is not whole";
  EXPECT_EQ(hidden_files("."), 0);
  const std::string log = read("j.log");
  EXPECT_EQ(log.substr(log.rfind('\n', log.size() - 2) + 1), "ERROR: The run was stopped by signal SIGTERM.\n")
      << log;
}

// A JSON file that fails (files over 12 KB fail here) leaves the earlier one
// and says why.
TEST_F(FailedWritesTest, AJsonFileThatFailsLeavesTheEarlierOne) {
  write("g.ruva", "proc ruva data=d plots=all; parms a=1; model y = a*x; run;\n");
  write("j.json", "earlier");
  EXPECT_EQ(run_here_with_file_limit("--json j.json g.ruva", 12 << 10, SIG_IGN), 2);
  EXPECT_TRUE(read("j.json") == "earlier") << "the earlier JSON file is lost";
  EXPECT_EQ(hidden_files("."), 0);
  EXPECT_NE(here_log_.find("ERROR: The JSON file j.json could not be written completely: writing j.json failed: "
                           "File too large."), std::string::npos)
      << here_log_;
}

// A listing file and a log file cut short by the file-size limit say why,
// as the JSON file does: the listing (over 2 KB) in the log, the log (over
// 100 bytes) in the default log.
TEST_F(FailedWritesTest, AListingOrLogFileBeyondTheSizeLimitGivesTheCause) {
  EXPECT_EQ(run_here_with_file_limit("--listing L2.lst --log l.log p.ruva", 2 << 10, SIG_IGN), 2);
  EXPECT_NE(read("l.log").find("ERROR: The listing file L2.lst could not be written completely: File too large.\n"),
            std::string::npos)
      << read("l.log");
  EXPECT_EQ(run_here_with_file_limit("--log l5.log p.ruva", 100, SIG_IGN), 2);
  EXPECT_EQ(here_log_.rfind("ERROR: The log file l5.log could not be written completely: File too large; the rest of "
                            "the log is written to standard error.\n", 0),
            0u)
      << here_log_;
}

// Two runs started together into one JSON file leave one run's file whole.
TEST_F(FailedWritesTest, TwoRunsIntoOneJsonFileLeaveOneOfTheirFiles) {
  write_large_data();
  write("a.ruva", "proc ruva data=d plots=fit; parms a=1; model y = a*x; run;\n");
  write("b.ruva", "proc ruva data=d plots=fit; parms b=1; model y = b*x + 1; run;\n");
  ASSERT_EQ(run("--json j.json a.ruva"), 0);
  const std::string a = read("j.json");
  ASSERT_EQ(run("--json j.json b.ruva"), 0);
  const std::string b = read("j.json");
  const pid_t first = start({"--json", "j.json", "a.ruva"}), second = start({"--json", "j.json", "b.ruva"});
  int status_a = 0, status_b = 0;
  waitpid(first, &status_a, 0);
  waitpid(second, &status_b, 0);
  EXPECT_TRUE(WIFEXITED(status_a) && WEXITSTATUS(status_a) == 0 && WIFEXITED(status_b) && WEXITSTATUS(status_b) == 0);
  const std::string json = read("j.json");
  EXPECT_TRUE(json == a || json == b) << "the JSON file mixes the two runs";
}

}  // namespace
