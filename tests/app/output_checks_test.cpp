// Checking before the first step whether the outputs can be written
// touches none of their names: a name is neither made, opened nor removed
// until the run writes it, so that a file another run puts there meanwhile
// stays. The test folder is watched (inotify), which records every change
// to a name as it is made, whatever the timing.
#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>

#include "support/ruva_command.h"

namespace {

class OutputChecksTest : public RuvaCommandTest {
 protected:
  OutputChecksTest() {
    write("d.csv", "x,y\n1,2.1\n2,3.9\n3,6.2\n4,7.8\n");
    write("p.ruva", "proc ruva data=d; parms a=1; model y = a*x; run;\n");
  }
  // Runs `args` and returns, by name, what happened to each name in the
  // folder, in order: c made, o opened, d removed, m moved there.
  std::map<std::string, std::string> touched_by(const std::string& args) {
    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    EXPECT_GE(::inotify_add_watch(fd, dir_.c_str(), IN_CREATE | IN_OPEN | IN_DELETE | IN_MOVED_TO), 0);
    status_ = run(args);
    std::map<std::string, std::string> touched;
    alignas(inotify_event) char buffer[1 << 16];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
      for (ssize_t at = 0; at < n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        if (event->len > 0)
          touched[event->name] += event->mask & IN_CREATE ? 'c' : event->mask & IN_OPEN ? 'o'
                                  : event->mask & IN_DELETE ? 'd' : 'm';
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    ::close(fd);
    return touched;
  }
  int status_ = -1;
};

TEST_F(OutputChecksTest, TheCheckBeforeTheFirstStepTouchesNoOutputsName) {
  write("l.lst", "earlier");
  const std::string outputs = "--listing l.lst --log g.log --json o.json --html r.html ";
  // Refused at the last check (no file can be made in /proc/self): no name
  // was touched before it.
  auto touched = touched_by(outputs + "--graphs /proc/self p.ruva");
  EXPECT_EQ(status_, 2);
  for (const char* name : {"l.lst", "g.log", "o.json", "r.html"}) EXPECT_EQ(touched[name], "") << name;
  EXPECT_EQ(read("l.lst"), "earlier");

  // A whole run: the JSON and the report only take their names at the end,
  // the listing and the log are made or opened once to be written.
  touched = touched_by(outputs + "p.ruva");
  EXPECT_EQ(status_, 0) << read("g.log");
  EXPECT_EQ(touched["o.json"], "m");
  EXPECT_EQ(touched["r.html"], "m");
  EXPECT_EQ(touched["g.log"].find_first_of("cd", 1), std::string::npos) << touched["g.log"];
  EXPECT_EQ(touched["l.lst"].find_first_of("cd"), std::string::npos) << touched["l.lst"];
}

// Another run makes the listing file while this one looks at its name and
// opens it: strace stops the run after each of its calls that names the
// file, and the file is made at one stop after another. However it falls,
// the run writes its listing there: a file that appears so is never taken
// for the end of a link, nor refused.
TEST_F(OutputChecksTest, AListingMadeByAnotherRunDuringTheCheckIsNoDanglingLink) {
  if (std::system("strace -o /dev/null true >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace cannot run here";
  const std::string args = "--log g.log --listing o.lst p.ruva";
  int stops = 0;
  run_stopping_at(".", args, "o.lst", [&](int, pid_t) { ++stops; });
  EXPECT_GT(stops, 1);
  for (int made = 1; made <= stops; ++made) {
    std::filesystem::remove(dir_ / "o.lst");
    const int status = run_stopping_at(".", args, "o.lst", [&](int stop, pid_t) {
      if (stop == made && !std::filesystem::exists(dir_ / "o.lst")) write("o.lst", "another run's\n");
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "made at stop " << made << ":\n" << read("g.log");
    EXPECT_NE(read("o.lst").find("Parameter Estimates"), std::string::npos) << made;
    EXPECT_EQ(read("o.lst").find("another run's"), std::string::npos) << made;
  }
}

}  // namespace
