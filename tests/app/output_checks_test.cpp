// Checking before the first step whether the outputs can be written
// touches none of their names: a name is neither made, opened nor removed
// until the run writes it, so that a file another run puts there meanwhile
// stays. The test folder is watched (inotify), which records every change
// to a name as it is made, whatever the timing.
#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <unistd.h>

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

// Another run makes the listing file between two of this run's looks at
// its name: strace makes the first `looks` of them miss a file that is
// there all along, for every count of looks up to the run's own open of
// the file. A file that appears so is never taken for the end of a link.
TEST_F(OutputChecksTest, AListingMadeByAnotherRunDuringTheCheckIsNoDanglingLink) {
  if (std::system("strace -o /dev/null true >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace cannot run here";
  bool every_look_missed = false;
  for (int looks = 1; looks <= 64 && !every_look_missed; ++looks) {
    write("o.lst", "");
    // The leak checker of a sanitizer build cannot run under ptrace.
    const std::string strace = "ASAN_OPTIONS=\"$ASAN_OPTIONS:detect_leaks=0\" "
                               "strace -f -qq -o st.txt -P o.lst -e trace=newfstatat,openat "
                               "-e inject=newfstatat:error=ENOENT:when=1.." + std::to_string(looks) + " ";
    ASSERT_EQ(run_after(strace, "--listing o.lst p.ruva"), 0) << looks << " looks missed:\n" << read("log.txt");
    // A look that found the file ("= 0") comes only after the open.
    const std::string trace = read("st.txt");
    every_look_missed = trace.find(" = 0\n") > trace.find("O_CREAT");
  }
  EXPECT_TRUE(every_look_missed);
}

}  // namespace
