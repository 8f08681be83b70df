// A run stopped by a signal while a step's data sets are put in place
// leaves them all new, or all as they were when the signal came before
// the first of them; its log ends with the line that names the signal and
// says nothing false before it. The signal comes at a chosen point: strace
// sends it as a chosen rename begins, or the run is waiting for a folder's
// lock that the test holds.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <sstream>
#include <string>

#include "platform/listing/log.h"
#include "platform/run_stop.h"
#include "support/ruva_command.h"

namespace fs = std::filesystem;

namespace {

// Two data sets in each of two folders, published in this order.
const char* const kFiles[] = {"a/prof", "a/boot", "b/est", "b/pred"};

class StoppedPublicationTest : public RuvaCommandTest {
 protected:
  StoppedPublicationTest() {
    fs::copy_file(fs::path(RUVA_SOURCE_DIR) / "examples/puromycin.csv", dir_ / "puromycin.csv");
    write("p.ruva",
          "proc ruva data=puromycin outest=b.est; parms Vm=200 K=0.05; model rate = Vm*conc/(K+conc);\n"
          " profile Vm K / profdata=a.prof; bootstrap / seed=1 nsamples=20 bootdata=a.boot;\n"
          " output out=b.pred p=p; run;\n");
    for (const char* folder : {"a", "b"}) fs::create_directories(dir_ / folder);
    for (const std::string file : kFiles)
      for (const char* ending : {".csv", ".meta.json"}) write(file + ending, "earlier\n");
  }
  // Whether the run has said that it waits for a folder's lock.
  bool says_it_waits() {
    return read("s.log").find("NOTE: The run waits for another process's lock of the folder b") != std::string::npos;
  }
  pid_t start_run(std::vector<std::string> runner = {}) {
    return start({"--lib", "a=a", "--lib", "b=b", "--log", "s.log", "p.ruva"}, std::move(runner));
  }
  // How many of the data sets' eight files are the earlier ones.
  int earlier_files() {
    int n = 0;
    for (const std::string file : kFiles)
      for (const char* ending : {".csv", ".meta.json"}) n += read(file + ending) == "earlier\n";
    return n;
  }
  // The run ended by `signal` with every file new or every file earlier,
  // no temporary file left, and a log whose only ERROR is its last line.
  void expect_stopped_whole(int status, int signal = SIGTERM) {
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    const int earlier = earlier_files();
    EXPECT_TRUE(earlier == 0 || earlier == 8) << earlier << " of the 8 files are the earlier ones";
    for (const char* folder : {"a", "b"})
      for (const auto& entry : fs::directory_iterator(dir_ / folder))
        EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
    const std::string log = read("s.log");
    const std::string last = "ERROR: The run was stopped by signal SIG" + std::string(sigabbrev_np(signal)) + ".\n";
    EXPECT_TRUE(log.ends_with(last) && log.find("ERROR") == log.size() - last.size()) << log;
    EXPECT_EQ(log.find("WARNING"), std::string::npos) << log;
  }
};

// strace sends SIGTERM as the third rename (boot.csv, after prof's two
// files) begins: the rename goes on, and so do the others.
TEST_F(StoppedPublicationTest, ASignalBetweenTwoRenamesWaitsForTheStepsLastDataSet) {
  if (std::system("strace -o /dev/null true >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace cannot run here";
  int status = 0;
  waitpid(start_run({"strace", "-f", "-qq", "-o", "/dev/null", "-e", "trace=renameat", "-e",
                     "inject=renameat:signal=SIGTERM:when=3"}),
          &status, 0);
  expect_stopped_whole(status);
  EXPECT_EQ(earlier_files(), 0);
}

// A data set written in place goes to its pipe before the files are put
// in place, where a signal still stops the run: a reader that holds the
// pipe open and reads nothing cannot keep SIGTERM, sent as the run blocks
// on its second write to the pipe, from stopping it (strace kills the run
// after 20 seconds otherwise).
TEST_F(StoppedPublicationTest, AStalledPipeReaderCannotKeepASignalFromStoppingTheRun) {
  if (std::system("strace -o /dev/null true >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace cannot run here";
  fs::remove(dir_ / "a/boot.csv");
  ASSERT_EQ(::mkfifo((dir_ / "a/boot.csv").c_str(), 0600), 0);
  const int reader = ::open((dir_ / "a/boot.csv").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  write("p.ruva", "proc ruva data=puromycin; parms Vm=200 K=0.05; model rate = Vm*conc/(K+conc);\n"
                  " bootstrap / seed=1 nsamples=3000 bootdata=a.boot; run;\n");
  int status = 0;
  waitpid(start_run({"timeout", "-s", "KILL", "20", "strace", "-f", "-qq", "-o", "/dev/null", "-P", "a/boot.csv",
                     "-e", "trace=write", "-e", "inject=write:signal=SIGTERM:when=2"}),
          &status, 0);
  ::close(reader);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_TRUE(read("s.log").ends_with("ERROR: The run was stopped by signal SIGTERM.\n")) << read("s.log");
}

// A log on a pipe that its reader has filled and reads no more: the run,
// stopped as it blocks on its first log line, ends without the line that
// names the signal rather than wait for ever to write it.
TEST_F(StoppedPublicationTest, AFullLogPipeCannotKeepASignalFromStoppingTheRun) {
  if (std::system("strace -o /dev/null true >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace cannot run here";
  const fs::path pipe = dir_ / "log.pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
  const int filler = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
  ASSERT_TRUE(reader >= 0 && filler >= 0);
  const std::string block(4096, 'x');
  while (::write(filler, block.data(), block.size()) > 0) {
  }
  ::close(filler);
  int status = 0;
  waitpid(start({"--log", "log.pipe", "p.ruva"}, {"timeout", "-s", "KILL", "20", "strace", "-f", "-qq", "-o",
                                                  "/dev/null", "-P", "log.pipe", "-e", "trace=write", "-e",
                                                  "inject=write:signal=SIGTERM:when=1"}),
          &status, 0);
  ::close(reader);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
}

// SIGQUIT (Ctrl-\ in a terminal) is a stop like SIGTERM, and leaves no
// core file though the run's limits let it dump one (a core file goes into
// the folder the run works in, where the system puts it in a file).
TEST_F(StoppedPublicationTest, SigquitWaitsForTheStepsLastDataSetAndLeavesNoCore) {
  if (std::system("strace -o /dev/null true >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace cannot run here";
  int status = 0;
  waitpid(start_run({"sh", "-c", "ulimit -c \"$(ulimit -Hc)\" && exec \"$@\"", "sh", "strace", "-f", "-qq", "-o",
                     "/dev/null", "-e", "trace=renameat", "-e", "inject=renameat:signal=SIGQUIT:when=3"}),
          &status, 0);
  expect_stopped_whole(status, SIGQUIT);
  EXPECT_EQ(earlier_files(), 0);
  for (const auto& entry : fs::directory_iterator(dir_))
    EXPECT_NE(entry.path().filename().string().rfind("core", 0), 0u) << entry.path();
}

// strace sends SIGTERM as the run takes the log file's lock, before it
// truncates the log (it may be another run's): the log stays as it was. Sent as the run
// truncates it, the signal waits until the log can take its line, so that
// no log is left empty.
TEST_F(StoppedPublicationTest, ASignalAsTheLogIsTruncatedIsNamedInIt) {
  if (std::system("strace -o /dev/null true >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace cannot run here";
  const struct {
    const char* call;
    const char* log;
  } cases[] = {{"fcntl", "earlier\n"}, {"ftruncate", "ERROR: The run was stopped by signal SIGTERM.\n"}};
  for (const auto& c : cases) {
    write("s.log", "earlier\n");
    int status = 0;
    waitpid(start_run({"strace", "-f", "-qq", "-o", "/dev/null", "-P", "s.log", "-e", std::string("trace=") + c.call,
                       "-e", std::string("inject=") + c.call + ":signal=SIGTERM:when=1"}),
            &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << c.call << ": " << status;
    EXPECT_EQ(read("s.log"), c.log) << c.call;
    EXPECT_EQ(earlier_files(), 8) << c.call;
  }
}

// The log swapped for a link once the run has opened and truncated it,
// and SIGTERM sent then: the line that names the signal goes into the log
// the run opened, not where the link leads. (The log exists before the
// run, so that strace knows its descriptor.)
TEST_F(StoppedPublicationTest, TheStopLineGoesIntoTheLogTheRunOpened) {
  if (std::system("strace -o /dev/null true >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace cannot run here";
  write("secret", "secret\n");
  write("s.log", "earlier\n");
  bool swapped = false;
  const int status = run_stopping_at(".", "--lib a=a --lib b=b --log s.log p.ruva", "s.log", [&](int, pid_t run) {
    if (swapped || read("stops.txt").find("ftruncate(") == std::string::npos) return;
    fs::rename(dir_ / "s.log", dir_ / "opened.log");
    fs::create_symlink("secret", dir_ / "s.log");
    swapped = kill(run, SIGTERM) == 0;
  });
  ASSERT_TRUE(swapped);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_EQ(read("secret"), "secret\n");
  EXPECT_EQ(read("opened.log"), "ERROR: The run was stopped by signal SIGTERM.\n");
}

// The run waits for b's lock, which the test holds, when SIGTERM comes.
TEST_F(StoppedPublicationTest, ASignalWhileTheRunWaitsForAFoldersLockLeavesTheStepsDataSetsWhole) {
  const int folder = ::open((dir_ / "b").c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_EQ(::flock(folder, LOCK_EX), 0);
  const pid_t child = start_run();
  int status = 0;
  while (!says_it_waits() && waitpid(child, &status, WNOHANG) == 0) usleep(1000);
  ASSERT_TRUE(says_it_waits()) << "the run ended without waiting for the lock";
  kill(child, SIGTERM);
  ::close(folder);
  waitpid(child, &status, 0);
  expect_stopped_whole(status);
}

// A shared lock of b, as a process that may write b can hold, keeps the
// run from publishing there: the log says so once, and the run goes on when
// the lock is let go.
TEST_F(StoppedPublicationTest, ARunKeptWaitingForAFoldersLockSaysSoOnce) {
  // Not inherited by the run, which would then hold the lock itself.
  const int folder = ::open((dir_ / "b").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_EQ(::flock(folder, LOCK_SH), 0);
  const pid_t child = start_run();
  const std::string note = "NOTE: The run waits for another process's lock of the folder b, to read or write data "
                           "sets there.\n";
  int status = 0;
  while (!says_it_waits() && waitpid(child, &status, WNOHANG) == 0) usleep(1000);
  ASSERT_TRUE(says_it_waits()) << "the run ended without waiting for the lock";
  // Said before the run began to wait.
  EXPECT_NE(read("s.log").find(note), std::string::npos) << read("s.log");
  EXPECT_EQ(earlier_files(), 8) << "data sets were put in place while the run waited";
  ::close(folder);
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  const std::string log = read("s.log");
  EXPECT_EQ(log.find(note), log.rfind(note)) << log;
  EXPECT_EQ(earlier_files(), 0);
}

// Once a stop has begun, a line that another thread logs (a graph cut off
// by the stop, say) would come after the line that names the signal: the
// log takes none. In a child process, for the stop cannot be undone.
TEST(RunStopTest, TheLogTakesNoLineOnceTheStopHasBegun) {
  std::ostringstream out;
  platform::Log log(out);
  log.note("before");
  const pid_t child = fork();
  if (child == 0) {
    platform::close_log_for_stop();
    log.warning("after");
    _exit(out.str() == "NOTE: before\n" && log.warnings() == 0 ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
