// A listing and a log that two runs name at once are each one run's,
// whole: a run holds them from before it truncates them until it ends, and
// one that must wait for the other says so, once. The race is placed:
// strace stops the first run (SIGSTOP) as it writes its first step's
// listing, the second starts then, and the first goes on only once the
// second says that it waits for its lock. A run stopped while it waits
// has changed neither file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <string>

#include "support/ruva_command.h"

namespace {

class HeldOutputsTest : public RuvaCommandTest {
 protected:
  HeldOutputsTest() {
    write("d.csv", "x,y\n1,2.1\n2,3.9\n3,6.2\n4,7.8\n");
    // Programs that differ only in starting values; the first has five
    // steps, so that its listing is written five times.
    std::string five_steps;
    for (int i = 0; i < 5; ++i) five_steps += "proc ruva data=d; parms a=1; model y = a*x; run;\n";
    write("a.ruva", five_steps);
    write("b.ruva", "proc ruva data=d; parms a=3; model y = a*x; run;\n");
  }
  // Whether the run whose standard error goes to `err` has said that it
  // waits for another run's lock.
  bool says_it_waits(const std::string& err) {
    return read(err).find("NOTE: The run waits for another process's lock of the ") != std::string::npos;
  }
  static int count(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
  }
};

TEST_F(HeldOutputsTest, ARunWaitsForTheListingAndLogAnotherRunWrites) {
  if (std::system("strace -o /dev/null true >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace cannot run here";
  ASSERT_EQ(run("--listing b.lst --log b.log b.ruva"), 0) << read("log.txt");
  // strace -P looks for files that exist; -D leaves the run the child.
  write("l.lst", "earlier\n");
  write("l.log", "earlier\n");
  const std::vector<std::string> outputs{"--listing", "l.lst", "--log", "l.log"};
  std::vector<std::string> args = outputs;
  args.push_back("a.ruva");
  // The leak checker of a sanitizer build cannot run under ptrace.
  const char* sanitizer = std::getenv("ASAN_OPTIONS");
  const pid_t first = start(args, {"env", std::string("ASAN_OPTIONS=") + (sanitizer ? sanitizer : "") + ":detect_leaks=0",
                                   "strace", "-D", "-f", "-qq", "-o", "/dev/null", "-P", "l.lst", "-e", "trace=write",
                                   "-e", "inject=write:signal=SIGSTOP:when=1"});
  int status = 0;
  const std::string title = "The RUVA Procedure";
  while (read("l.lst").find(title) == std::string::npos && waitpid(first, &status, WNOHANG) == 0) usleep(1000);
  const std::string begun = read("l.lst");
  ASSERT_EQ(count(begun, title), 1) << "the first run is not stopped in its listing";
  args = outputs;
  args.push_back("b.ruva");
  const pid_t second = start(args, {"sh", "-c", "exec \"$@\" 2>b.err", "sh"});
  while (!says_it_waits("b.err") && waitpid(second, &status, WNOHANG) == 0) usleep(1000);
  EXPECT_TRUE(says_it_waits("b.err")) << "the second run did not wait";
  EXPECT_EQ(read("l.lst"), begun) << "the second run wrote over the first run's listing";
  while (waitpid(first, &status, WNOHANG) == 0) {
    kill(first, SIGCONT);  // stopped again at each step's first write
    usleep(10000);
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  waitpid(second, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_TRUE(read("l.lst") == read("b.lst")) << "the listing is not the second run's whole";
  // Said once on standard error, as the log file may be the one it waits
  // for, and then in the log file.
  EXPECT_EQ(count(read("b.err"), "NOTE: The run waits for another process's lock of the "), 1) << read("b.err");
  EXPECT_NE(read("b.err").find(", to write it whole.\n"), std::string::npos) << read("b.err");
  EXPECT_EQ(read("l.log"), read("b.err") + read("b.log"));
}

// The test holds the log as a writer does (a write lock, which only a
// descriptor open for writing can take): a run stopped while it waits for
// it leaves both files as they were.
TEST_F(HeldOutputsTest, ARunStoppedWhileItWaitsLeavesTheFilesAsTheyWere) {
  write("l.lst", "earlier\n");
  write("l.log", "earlier\n");
  const int held = ::open((dir_ / "l.log").c_str(), O_WRONLY | O_CLOEXEC);
  struct flock write_lock {};
  write_lock.l_type = F_WRLCK;
  write_lock.l_whence = SEEK_SET;
  ASSERT_EQ(::fcntl(held, F_OFD_SETLK, &write_lock), 0);
  const pid_t run = start({"--listing", "l.lst", "--log", "l.log", "b.ruva"}, {"sh", "-c", "exec \"$@\" 2>w.err", "sh"});
  int status = 0;
  while (!says_it_waits("w.err") && waitpid(run, &status, WNOHANG) == 0) usleep(1000);
  ASSERT_TRUE(says_it_waits("w.err")) << "the run ended without waiting for the lock";
  kill(run, SIGTERM);
  waitpid(run, &status, 0);
  ::close(held);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_EQ(read("l.lst"), "earlier\n");
  EXPECT_EQ(read("l.log"), "earlier\n");
}

}  // namespace
