// Where a data set that a step writes lands: a link at its name that
// reaches a program file or another output of the run, dangling or not,
// a folder at its name and a link into no folder, refuse the run before
// its first step; a device or a stream is written in place; a link
// at the step's input replaces that input; the log names every file as
// given, never as an absolute path the run made up.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/ruva_command.h"

namespace fs = std::filesystem;

namespace {

constexpr char kBod[] = "time,demand\n1,8.3\n2,10.3\n3,19\n4,16\n5,15.6\n7,19.8\n";
constexpr char kFit[] = "proc ruva data=bod outest=est; parms a=20 b=.5; model demand=a*(1-exp(-b*time)); "
                        "output out=pred p=p; run;\n";

class DataSetTargetsTest : public RuvaCommandTest {
 protected:
  DataSetTargetsTest() {
    write("bod.csv", kBod);
    write("prog.ruva", kFit);
  }
};

// Each run is refused with its one ERROR alone, and leaves every file and
// link as it was: no listing, log or description appears.
TEST_F(DataSetTargetsTest, ALinkToAProgramOrAnotherOutputIsRefusedBeforeTheFirstStep) {
  write("m.meta.json", kFit);
  const struct {
    const char* link;  // the data set's name
    const char* to;
    const char* args;
    const char* message;
  } refused[] = {
      {"pred.csv", "prog.ruva", "prog.ruva",
       "The file pred.csv of the data set WORK.pred, which the run writes, reaches the program file prog.ruva."},
      {"est.csv", "o.lst", "--listing o.lst prog.ruva",
       "--listing names the file o.lst of the data set WORK.est, which the run writes."},
      {"est.csv", "o.log", "--log o.log prog.ruva",
       "--log names the file o.log of the data set WORK.est, which the run writes."},
      // The shell sent the listing or the log (listing.txt, log.txt) there.
      {"pred.csv", "listing.txt", "prog.ruva",
       "The listing on standard output is the file pred.csv of the data set WORK.pred, which the run writes."},
      {"est.csv", "log.txt", "prog.ruva",
       "The log on standard error is the file est.csv of the data set WORK.est, which the run writes."},
      // The description lies beside the file the link leads to, yet to be made.
      {"pred.csv", "m.csv", "m.meta.json",
       "The description m.meta.json of the data set WORK.pred, which the run writes, reaches the program file "
       "m.meta.json."},
  };
  for (const auto& c : refused) {
    fs::create_symlink(c.to, dir_ / c.link);
    EXPECT_EQ(run(c.args), 2) << c.args;
    EXPECT_EQ(read("log.txt"), std::string("ERROR: ") + c.message + "\n") << c.args;
    EXPECT_EQ(read("prog.ruva"), kFit);
    EXPECT_EQ(read("m.meta.json"), kFit);
    EXPECT_TRUE(fs::is_symlink(dir_ / c.link)) << c.args;
    for (const char* made : {"o.lst", "o.log", "m.csv", "prog.meta.json", "pred.csv", "est.csv"})
      EXPECT_TRUE(std::string(made) == c.link || !fs::exists(dir_ / made)) << c.args << ": " << made;
    fs::remove(dir_ / c.link);
  }
}

TEST_F(DataSetTargetsTest, ALinkAtTheInputReplacesItAndTheNoteNamesTheInput) {
  fs::create_symlink("bod.csv", dir_ / "pred.csv");
  ASSERT_EQ(run("prog.ruva"), 0) << read("log.txt");
  EXPECT_NE(read("log.txt").find("NOTE: The data set WORK.bod, an input of this step, is replaced by its output.\n"),
            std::string::npos)
      << read("log.txt");
  EXPECT_TRUE(fs::is_symlink(dir_ / "pred.csv"));
  EXPECT_EQ(read("bod.csv").substr(0, 19), "time,demand,p\n1,8.3");
}

// A folder at the name of a data set or of its description, or where a link
// at the name leads, cannot take the file.
TEST_F(DataSetTargetsTest, AFolderAtADataSetsNameIsRefusedBeforeTheFirstStep) {
  fs::create_directories(dir_ / "sub/est.csv");
  fs::create_symlink("sub/est.csv", dir_ / "est.csv");
  const char* why = "may not be replaced: it is a folder.\n";
  EXPECT_EQ(run("prog.ruva"), 2);
  EXPECT_EQ(read("log.txt"), std::string("ERROR: The data set WORK.est cannot be written: the file sub/est.csv ") + why);
  fs::remove(dir_ / "est.csv");
  fs::create_directories(dir_ / "pred.meta.json");
  EXPECT_EQ(run("prog.ruva"), 2);
  EXPECT_EQ(read("log.txt"), std::string("ERROR: The data set WORK.pred cannot be written: the file pred.meta.json ") +
                                 why);
  EXPECT_FALSE(fs::exists(dir_ / "est.csv"));
}

// A link that leads into a folder yet to be made, or that the run makes
// (--graphs), would fail the step once it writes. Into the graphs folder
// the data set is written, once the run has made it.
TEST_F(DataSetTargetsTest, ALinkIntoNoFolderIsRefusedBeforeTheFirstStep) {
  fs::create_symlink("nodir/x.csv", dir_ / "pred.csv");
  EXPECT_EQ(run("prog.ruva"), 2);
  EXPECT_EQ(read("log.txt"), "ERROR: The data set WORK.pred cannot be written: the file nodir/x.csv cannot be made: "
                             "there is no folder nodir.\n");
  fs::remove(dir_ / "pred.csv");
  // A folder on the way that is none (a file) is no missing folder.
  fs::create_symlink("prog.ruva/x.csv", dir_ / "pred.csv");
  EXPECT_EQ(run("prog.ruva"), 2);
  EXPECT_EQ(read("log.txt"),
            "ERROR: The data set WORK.pred cannot be written: the file prog.ruva/x.csv cannot be "
            "made: Not a directory.\n");
  fs::remove(dir_ / "pred.csv");
  // The link's target is named without the separator and "." it ends in.
  const struct {
    const char* to;
    const char* named;
  } graphs_folder[] = {{"g", "g"}, {"g/", "g"}, {"./g/.", "./g"}};
  for (const auto& [to, named] : graphs_folder) {
    fs::create_symlink(to, dir_ / "pred.csv");
    EXPECT_EQ(run("--graphs g prog.ruva"), 2) << to;
    EXPECT_EQ(read("log.txt"), std::string("ERROR: The data set WORK.pred cannot be written: the file ") + named +
                                   " may not be replaced: it is the folder --graphs g, which the run makes.\n");
    EXPECT_FALSE(fs::exists(dir_ / "g")) << to;
    EXPECT_FALSE(fs::exists(dir_ / "est.csv")) << to;
    fs::remove(dir_ / "pred.csv");
  }
  fs::create_symlink("g/x.csv", dir_ / "pred.csv");
  EXPECT_EQ(run("--graphs g prog.ruva"), 0) << read("log.txt");
  EXPECT_EQ(read("g/x.csv").substr(0, 14), "time,demand,p\n");
}

// A device or a stream takes the data where the name leads, and counts as
// written; no description is made beside it (in /dev, /proc).
TEST_F(DataSetTargetsTest, ADataSetAtADeviceOrAStreamIsWrittenInPlace) {
  const std::string note = "NOTE: The file pred.csv of the data set WORK.pred is a device or a stream: it is written "
                           "in place, without a description.\n";
  const bool described_before = fs::exists("/dev/null.meta.json");
  // A device takes both data sets of the step.
  fs::create_symlink("/dev/null", dir_ / "pred.csv");
  fs::create_symlink("/dev/null", dir_ / "est.csv");
  EXPECT_EQ(run("prog.ruva"), 0) << read("log.txt");
  EXPECT_NE(read("log.txt").find("NOTE: The data set WORK.pred has 6 observations and 3 variables.\n" + note),
            std::string::npos)
      << read("log.txt");
  EXPECT_NE(read("log.txt").find(
                "NOTE: The file est.csv of the data set WORK.est is a device or a stream"),
            std::string::npos)
      << read("log.txt");
  EXPECT_EQ(fs::exists("/dev/null.meta.json"), described_before);
  EXPECT_FALSE(fs::exists(dir_ / "est.meta.json"));
  fs::remove(dir_ / "est.csv");
  // Standard output a pipe: the data go down it.
  fs::remove(dir_ / "pred.csv");
  fs::create_symlink("/dev/stdout", dir_ / "pred.csv");
  EXPECT_EQ(run_after("{ ", "--listing l.lst prog.ruva 2>err.txt; echo $? >rc.txt; } | cat"), 0);
  EXPECT_EQ(read("rc.txt"), "0\n") << read("err.txt");
  EXPECT_NE(read("err.txt").find(note), std::string::npos) << read("err.txt");
  const std::string piped = read("listing.txt");
  EXPECT_EQ(piped.substr(0, 23), "time,demand,p\n1,8.3,7.8");
  EXPECT_EQ(std::count(piped.begin(), piped.end(), '\n'), 7);
  // A step that fails in its second BY group passes on none of the first's.
  write("groups.csv", "g,time,demand\n1,1,8.3\n1,2,10.3\n1,3,19\n1,4,16\n2,5,15.6\n2,7,19.8\n");
  write("fails.ruva", "proc ruva data=groups; by g; parms a=20 b=.5; model demand=a*(1-exp(-b*time)); "
                      "if g = 2 then abort; output out=pred p=p; run;\n");
  EXPECT_EQ(run_after("{ ", "--listing l.lst fails.ruva 2>err.txt; echo $? >rc.txt; } | cat"), 0);
  EXPECT_EQ(read("rc.txt"), "2\n") << read("err.txt");
  EXPECT_NE(read("err.txt").find("ERROR: The data set WORK.pred was not written because the step failed."),
            std::string::npos)
      << read("err.txt");
  EXPECT_EQ(read("listing.txt"), "");
  // A temporary folder (TMPDIR) too full to hold the rows is named as the cause.
  if (std::system("unshare -m true 2>/dev/null") != 0) return;
  fs::create_directory(dir_ / "small");
  EXPECT_EQ(run_after("{ TMPDIR=$PWD/small unshare -m sh -c 'mount -t tmpfs -o size=4k tmpfs \"$TMPDIR\" && "
                      "head -c 8192 /dev/zero >\"$TMPDIR/f\" 2>/dev/null; exec \"$0\" \"$@\"' ",
                      "--listing l.lst prog.ruva 2>err.txt; echo $? >rc.txt; } | cat"),
            0);
  EXPECT_EQ(read("rc.txt"), "2\n") << read("err.txt");
  EXPECT_NE(read("err.txt").find("in a temporary file until it is complete failed: No space left on device."),
            std::string::npos)
      << read("err.txt");
}

// A name among the system's devices (/dev, /sys) or processes (/proc) that
// is no device or stream, such as a descriptor of the process that is not
// open: the run makes no file there, data or description, and says so
// before the first step.
TEST_F(DataSetTargetsTest, ANewFileAmongTheDevicesIsRefusedBeforeTheFirstStep) {
  const std::string absent = "/dev/ruva_absent_" + std::to_string(::getpid());
  const struct {
    std::string to;
    const char* prefix;  // before the command
    const char* folder;
  } refused[] = {{absent, "", "/dev"},
                 {"/proc/self/fd/9", "exec 9>&- && ", "/proc/self/fd"},
                 {"/sys/kernel/ruva_absent_" + std::to_string(::getpid()), "", "/sys/kernel"}};
  for (const auto& c : refused) {
    if (!fs::is_directory(c.folder)) continue;  // no /sys mounted here
    fs::create_symlink(c.to, dir_ / "pred.csv");
    EXPECT_EQ(run_after(c.prefix, "prog.ruva"), 2) << c.to;
    EXPECT_EQ(read("log.txt"), "ERROR: The data set WORK.pred cannot be written: the file " + c.to +
                                   " cannot be made: the folder " + c.folder +
                                   " holds the system's devices or processes.\n");
    EXPECT_FALSE(fs::exists(dir_ / "est.csv")) << c.to;
    fs::remove(dir_ / "pred.csv");
  }
  for (const std::string& made : {absent, absent + ".meta.json"}) {
    EXPECT_FALSE(fs::exists(made)) << made;
    fs::remove(made);
  }
}

// A data set written in place is opened before the first step as its step
// will open it: a pipe that no process reads and /dev/tty without a
// terminal (setsid) refuse the run with what the system says; a pipe with
// a reader gets the data set once.
TEST_F(DataSetTargetsTest, ADataSetThatCannotBeOpenedInPlaceIsRefusedBeforeTheFirstStep) {
  ASSERT_EQ(::mkfifo((dir_ / "p.fifo").c_str(), 0600), 0);
  const bool setsid = std::system("setsid --version >/dev/null 2>&1") == 0;
  const struct {
    const char* to;
    const char* prefix;  // before the command
    std::string why;
  } refused[] = {
      {"p.fifo", "", "no process reads the pipe p.fifo"},
      {"/dev/tty", setsid ? "setsid -w " : "", "the file /dev/tty cannot be opened for writing: No such device or address"},
  };
  for (const auto& c : refused) {
    if (std::string(c.to) == "/dev/tty" && !setsid) continue;
    fs::create_symlink(c.to, dir_ / "pred.csv");
    EXPECT_EQ(run_after(c.prefix, "prog.ruva"), 2) << c.to;
    EXPECT_EQ(read("log.txt"), "ERROR: The data set WORK.pred cannot be written: " + c.why + ".\n") << c.to;
    EXPECT_FALSE(fs::exists(dir_ / "est.csv")) << c.to;
    fs::remove(dir_ / "pred.csv");
  }
  fs::create_symlink("p.fifo", dir_ / "pred.csv");
  const int reader = ::open((dir_ / "p.fifo").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  EXPECT_EQ(run("prog.ruva"), 0) << read("log.txt");
  std::string got;
  char buffer[4096];
  for (ssize_t n; (n = ::read(reader, buffer, sizeof buffer)) > 0;) got.append(buffer, static_cast<std::size_t>(n));
  ::close(reader);
  EXPECT_EQ(got.rfind("time,demand,p\n1,8.3,", 0), 0u) << got;
  EXPECT_EQ(std::count(got.begin(), got.end(), '\n'), 7) << got;
}

// Files in the current folder, and those reached through a link, are named
// as the library and the link name them.
TEST_F(DataSetTargetsTest, MessagesNameDataSetFilesAsGiven) {
  fs::create_directories(dir_ / "sub");
  write("sub/real.csv", kBod);
  write("sub/real.meta.json", "{");
  fs::create_symlink("sub/real.csv", dir_ / "l.csv");
  write("p.ruva", "proc ruva data=nothere; parms a=1; model demand=a; run;\n"
                  "proc ruva data=l; parms a=1; model demand=a; run;\n");
  EXPECT_EQ(run("p.ruva"), 2);
  const std::string log = read("log.txt");
  EXPECT_NE(log.find("ERROR: The data set WORK.nothere does not exist (looked for nothere.csv).\n"), std::string::npos)
      << log;
  EXPECT_NE(log.find("ERROR: The description sub/real.meta.json is not valid: "), std::string::npos) << log;
}

// A description that another process replaces by a link as the run opens
// it is not read, and the ERROR says so rather than call it invalid:
// strace stops the run after each call that names it, and the link is put
// there at the last stop after a look at the name (O_PATH), before the
// open that reads it.
TEST_F(DataSetTargetsTest, ADescriptionReplacedByALinkAsItIsOpenedIsNotRead) {
  if (std::system("strace -o /dev/null true >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace cannot run here";
  write("p.ruva", "proc ruva data=bod; parms a=20 b=.5; model demand=a*(1-exp(-b*time)); run;\n");
  write("bod.meta.json", R"({"label": "described"})");
  write("other.json", R"({"label": "elsewhere"})");
  const auto stopped_after_look = [&] {
    std::ifstream trace(dir_ / "stops.txt");
    std::string call;
    for (std::string line; std::getline(trace, line);)
      if (line.find(" --- ") == std::string::npos) call = line;
    return call.find("O_PATH") != std::string::npos;
  };
  int last_look = 0;
  run_stopping_at(dir_.string(), "--log l.log p.ruva", "bod.meta.json", [&](int stop, pid_t) {
    if (stopped_after_look()) last_look = stop;
  });
  ASSERT_GT(last_look, 0);
  run_stopping_at(dir_.string(), "--log l.log p.ruva", "bod.meta.json", [&](int stop, pid_t) {
    if (stop != last_look) return;
    fs::create_symlink("other.json", dir_ / "link");
    fs::rename(dir_ / "link", dir_ / "bod.meta.json");
  });
  EXPECT_EQ(read("l.log"), "ERROR: The data set WORK.bod cannot be read from bod.meta.json: another process put a "
                           "link there as the run opened it.\nNOTE: Return codes by step: 1: 3000.\n");
}

}  // namespace
