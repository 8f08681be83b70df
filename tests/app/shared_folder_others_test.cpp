// Other users can neither stall nor steer a run in a folder they share
// with it: names planted at the run's temporary names, a reader's lock on
// the listing, the log or a data sets' folder, which neither stalls the
// run nor lets runs write one file together, another user's lock of a
// sticky folder, another user's description in a sticky folder, a named
// pipe that no process writes at an input, or one that its writer keeps
// open, and /dev bound elsewhere.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/ruva_command.h"
#include "support/shared_folder.h"

namespace fs = std::filesystem;

namespace {

using shared_folder::kBod;
using shared_folder::kNobody;

class SharedFolderOthersTest : public RuvaCommandTest {
 protected:
  SharedFolderOthersTest() {
    write("prog.ruva", shared_folder::kProgram);
    fs::create_directories(dir_ / "t");
    fs::permissions(dir_ / "t", fs::perms(01777));
    write("t/bod.csv", kBod);
  }
  // Makes `name` (in the test folder) another user's.
  void give_away(const std::string& name) { ASSERT_EQ(::lchown((dir_ / name).c_str(), kNobody, kNobody), 0); }
};

// The run's process number is known before it starts (the shell that
// becomes it waits for a line): another user takes every name that a
// temporary file of that process could once be given, .ruva-PID-1 to
// .ruva-PID-100, in the sticky folder where the run writes.
TEST_F(SharedFolderOthersTest, NamesPlantedForTheComingProcessStopNoOutput) {
  if (::geteuid() != 0) GTEST_SKIP() << "another user's names are made by root";
  ASSERT_EQ(::mkfifo((dir_ / "go").c_str(), 0600), 0);
  const pid_t run = start({"--work", "t", "prog.ruva"}, {"sh", "-c", "read line <go && exec \"$@\" 2>log.txt", "sh"});
  for (int n = 1; n <= 100; ++n) {
    const std::string name = "t/.ruva-" + std::to_string(run) + "-" + std::to_string(n);
    fs::create_symlink("/nowhere", dir_ / name);
    give_away(name);
  }
  std::ofstream(dir_ / "go") << "go\n";
  int status = 0;
  waitpid(run, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << read("log.txt");
  for (const char* made : {"t/est.csv", "t/est.meta.json", "t/pred.csv", "t/pred.meta.json"})
    EXPECT_TRUE(fs::is_regular_file(dir_ / made)) << made;
}

// A process that may only read the listing and the log (a descriptor open
// for reading) locks them as a reader can: the run neither waits for it
// nor says it waits.
TEST_F(SharedFolderOthersTest, AReadersLockOfTheListingOrLogDoesNotStallTheRun) {
  write("l.lst", "earlier\n");
  write("l.log", "earlier\n");
  const int log = ::open((dir_ / "l.log").c_str(), O_RDONLY | O_CLOEXEC);
  const int listing = ::open((dir_ / "l.lst").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(log, LOCK_SH), 0);  // flock -s
  struct flock read_lock {};
  read_lock.l_type = F_RDLCK;
  read_lock.l_whence = SEEK_SET;
  ASSERT_EQ(::fcntl(listing, F_OFD_SETLK, &read_lock), 0);
  EXPECT_EQ(run("--work t --listing l.lst --log l.log prog.ruva", 20), 0);
  ::close(log);
  ::close(listing);
  EXPECT_NE(read("l.log").find("NOTE: Return codes by step: 1: 0."), std::string::npos) << read("l.log");
  EXPECT_NE(
      read("l.log").find(
          "NOTE: Another process has held a read lock of the listing file l.lst for a second: "
          "the run writes it without that lock.\n"),
      std::string::npos)
      << read("l.log");
  EXPECT_NE(read("l.lst").find("Parameter Estimates"), std::string::npos);
  EXPECT_EQ(read("log.txt"), "");
}

// Another user, who may read the listing, the log and the folder r but
// write none of them, holds read locks on all three (an open file
// description's on the files, flock on the folder) while three runs write
// them at once, each with its own predicted variable: the listing and the
// log are each one run's, whole, the CSV stands beside its own
// description, and the log says once of each lock that it was passed by.
TEST_F(SharedFolderOthersTest, RunsStayApartWhileAnotherUserHoldsReadLocks) {
  if (::geteuid() != 0) GTEST_SKIP() << "another user's process is started by root";
  fs::create_directories(dir_ / "r");
  fs::permissions(dir_ / "r", fs::perms(0755));
  write("r/bod.csv", kBod);
  constexpr int kRuns = 3;
  for (int i = 0; i < kRuns; ++i) {
    const std::string step = "proc ruva data=bod; parms a=20 b=.5; model demand=a*(1-exp(-b*time)); "
                             "output out=pred p=p" + std::to_string(i) + "; run;\n";
    write("p" + std::to_string(i) + ".ruva", step + step);
    const std::string alone =
        "--work r --listing r/alone.lst --log r/alone.log p" + std::to_string(i) + ".ruva";
    ASSERT_EQ(run(alone), 0) << read("log.txt");
    fs::rename(dir_ / "r/alone.lst", dir_ / ("alone" + std::to_string(i) + ".lst"));
    fs::rename(dir_ / "r/alone.log", dir_ / ("alone" + std::to_string(i) + ".log"));
  }
  for (const char* file : {"r/l.lst", "r/l.log"}) write(file, "earlier\n");
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t holder = fork();
  if (holder == 0) {
    bool locked = ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
    for (const char* file : {"r/l.lst", "r/l.log"}) {
      struct flock read_lock {};
      read_lock.l_type = F_RDLCK;
      read_lock.l_whence = SEEK_SET;
      locked =
          locked && ::fcntl(::open((dir_ / file).c_str(), O_RDONLY), F_OFD_SETLK, &read_lock) == 0;
    }
    if (locked && ::flock(::open((dir_ / "r").c_str(), O_RDONLY | O_DIRECTORY), LOCK_SH) == 0 &&
        ::write(ready[1], "1", 1) == 1)
      ::pause();
    _exit(1);
  }
  char locked = 0;
  ASSERT_EQ(::read(ready[0], &locked, 1), 1);
  // All started at once: each waits for the file `go`.
  pid_t runs[kRuns];
  for (int i = 0; i < kRuns; ++i)
    runs[i] = start({"--work", "r", "--listing", "r/l.lst", "--log", "r/l.log",
                     "p" + std::to_string(i) + ".ruva"},
                    {"sh", "-c", "while [ ! -e go ]; do sleep 0.01; done; exec \"$@\"", "sh"});
  write("go", "");
  for (const pid_t run : runs) {
    int status = 0;
    ::waitpid(run, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
  const std::string listing = read("r/l.lst"), log = read("r/l.log"), csv = read("r/pred.csv");
  const std::string notes[] = {
      "NOTE: Another process has held a read lock of the listing file r/l.lst for a second: the run writes it "
      "without that lock.\n",
      "NOTE: Another process has held a read lock of the log file r/l.log for a second: the run writes it without "
      "that lock.\n",
      "NOTE: Another process that may not write the data sets of the folder r has held its lock for a second: the "
      "run reads or writes them without that lock.\n"};
  std::string alone = log;
  for (const std::string& note : notes) {
    EXPECT_TRUE(log.find(note) != std::string::npos && log.find(note) == log.rfind(note))
        << note << log;
    if (const std::size_t at = alone.find(note); at != std::string::npos)
      alone.erase(at, note.size());
  }
  // A run that waited for another says so too.
  if (alone.starts_with("NOTE: The run waits for another process's lock of the "))
    alone.erase(0, alone.find('\n') + 1);
  const std::string csv_header = csv.substr(0, csv.find('\n'));
  const int run = csv_header.back() - '0';
  ASSERT_TRUE(run >= 0 && run < kRuns) << csv;
  EXPECT_EQ(csv_header, "time,demand,p" + std::to_string(run));
  EXPECT_NE(read("r/pred.meta.json").find("\"p" + std::to_string(run) + "\""), std::string::npos);
  EXPECT_TRUE(listing == read("alone" + std::to_string(run) + ".lst"))
      << "the listing is not one run's whole";
  EXPECT_EQ(alone, read("alone" + std::to_string(run) + ".log"));
}

// Another user, who may read the folder r but not write it, or who may
// write the sticky folder t but not replace root's files there, locks it:
// the run reads and writes its data sets there all the same, after a
// second, and says once that it passed the lock by.
TEST_F(SharedFolderOthersTest, AnotherUsersLockOfADataSetsFolderKeepsTheRunASecondAtMost) {
  if (::geteuid() != 0) GTEST_SKIP() << "another user's process is started by root";
  fs::create_directories(dir_ / "r");
  fs::permissions(dir_ / "r", fs::perms(0755));
  write("r/bod.csv", kBod);
  for (const std::string folder : {"r", "t"}) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = fork();
    if (holder == 0) {
      const int fd =
          ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0
              ? ::open((dir_ / folder).c_str(), O_RDONLY | O_DIRECTORY)
              : -1;
      if (fd >= 0 && ::flock(fd, LOCK_EX) == 0 && ::write(ready[1], "1", 1) == 1) ::pause();
      _exit(1);
    }
    char locked = 0;
    ASSERT_EQ(::read(ready[0], &locked, 1), 1);
    const int status = run("--work " + folder + " prog.ruva", 20);
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    EXPECT_EQ(status, 0) << folder << "\n" << read("log.txt");
    const std::string note =
        "NOTE: Another process that may not write the data sets of the folder " + folder +
        " has held its lock for a second: the run reads or writes them without that lock.\n";
    const std::string log = read("log.txt");
    EXPECT_TRUE(log.find(note) != std::string::npos && log.find(note) == log.rfind(note)) << log;
    EXPECT_EQ(log.find("waits for another process's lock"), std::string::npos) << log;
    EXPECT_TRUE(fs::exists(dir_ / folder / "pred.csv")) << folder;
  }
}

// A named pipe read as a data set, whose writer keeps it open after its
// rows, keeps its run waiting, but not another run that writes data sets
// in the same folder: the pipe is not read under the folder's lock.
TEST_F(SharedFolderOthersTest, AnInputPipeKeptOpenStallsNoOtherRun) {
  write("x.ruva",
        "proc ruva data=x; parms a=20 b=.5; model demand=a*(1-exp(-b*time)); output out=xp p=p; "
        "run;\n");
  ASSERT_EQ(::mkfifo((dir_ / "t/x.csv").c_str(), 0600), 0);
  const int reader = ::open((dir_ / "t/x.csv").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  const int writer = ::open((dir_ / "t/x.csv").c_str(), O_WRONLY | O_CLOEXEC);
  ASSERT_EQ(::write(writer, kBod, sizeof kBod - 1), static_cast<ssize_t>(sizeof kBod - 1));
  const pid_t waiting = start({"--work", "t", "x.ruva"});
  // Until the run has taken the rows, and waits for the end of the pipe.
  int status = 0;
  bool ended = false;
  for (int unread = 1; ::ioctl(writer, FIONREAD, &unread) == 0 && unread > 0 &&
                       !(ended = ::waitpid(waiting, &status, WNOHANG) != 0);)
    usleep(1000);
  ::close(reader);
  EXPECT_EQ(run("--work t prog.ruva", 20), 0) << read("log.txt");
  ::close(writer);
  if (!ended) ::waitpid(waiting, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_NE(read("t/xp.csv").find("7,19.8,"), std::string::npos) << read("t/xp.csv");
}

// Another user's description beside root's data set in a sticky folder is
// not applied, and a note says so: neither its length nor its labels reach
// the data or the run's own descriptions. The data set owner's is.
TEST_F(SharedFolderOthersTest, AnotherUsersDescriptionInAStickyFolderIsNotApplied) {
  if (::geteuid() != 0) GTEST_SKIP() << "another user's file is made by root";
  write("t/bod.meta.json", R"({"label": "planted", "variables": [{"name": "demand", "label": "planted"},)"
                           R"( {"name": "time", "type": "character", "length": 1}]})");
  give_away("t/bod.meta.json");
  EXPECT_EQ(run("--work t prog.ruva"), 0) << read("log.txt");
  EXPECT_NE(read("log.txt").find("NOTE: The description t/bod.meta.json belongs neither to this user, nor to the "
                                 "owner of the sticky folder t, which anyone may write, nor to the owner of the data "
                                 "set file t/bod.csv, so it is not applied.\n"),
            std::string::npos)
      << read("log.txt");
  EXPECT_EQ(read("t/pred.meta.json").find("planted"), std::string::npos) << read("t/pred.meta.json");
  give_away("t/bod.csv");  // now the data set owner's description
  EXPECT_EQ(run("--work t prog.ruva"), 2);
  EXPECT_NE(read("log.txt").find("time of the data set WORK.bod is character, as its description t/bod.meta.json declares"),
            std::string::npos)
      << read("log.txt");
}

// A named pipe that no process writes, as a data set, its description or
// a program file, is refused before the first step rather than waited for;
// one that holds a data set its writer left there is read.
TEST_F(SharedFolderOthersTest, ANamedPipeThatNoProcessWritesIsRefused) {
  write("x.ruva", "proc ruva data=x; parms a=20 b=.5; model demand=a*(1-exp(-b*time)); output out=pred p=p; run;\n");
  for (const char* pipe : {"t/x.csv", "t/p.ruva"}) ASSERT_EQ(::mkfifo((dir_ / pipe).c_str(), 0600), 0);
  EXPECT_EQ(run("--work t x.ruva", 20), 2);
  EXPECT_EQ(read("log.txt"), "ERROR: The data set WORK.x cannot be read from t/x.csv: it is a named pipe that no "
                             "process writes.\n");
  EXPECT_EQ(run("--work t t/p.ruva", 20), 2);
  EXPECT_EQ(read("log.txt"), "ERROR: The program file t/p.ruva cannot be read: it is a named pipe that no process "
                             "writes.\n");
  ASSERT_EQ(::mkfifo((dir_ / "t/bod.meta.json").c_str(), 0600), 0);
  EXPECT_EQ(run("--work t prog.ruva", 20), 2);
  EXPECT_EQ(read("log.txt"), "ERROR: The data set WORK.bod cannot be read from t/bod.meta.json: it is a named pipe "
                             "that no process writes.\n");
  fs::remove(dir_ / "t/bod.meta.json");
  const int reader = ::open((dir_ / "t/x.csv").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  const int writer = ::open((dir_ / "t/x.csv").c_str(), O_WRONLY | O_CLOEXEC);
  ASSERT_EQ(::write(writer, kBod, sizeof kBod - 1), static_cast<ssize_t>(sizeof kBod - 1));
  ::close(writer);
  EXPECT_EQ(run("--work t x.ruva", 20), 0) << read("log.txt");
  ::close(reader);
  EXPECT_NE(read("t/pred.csv").find("7,19.8,"), std::string::npos) << read("t/pred.csv");
}

// /dev bound elsewhere holds the devices still: a data set linked into it
// is refused, and no file is made among the devices.
TEST_F(SharedFolderOthersTest, ABindMountOfTheDevicesTakesNoNewFile) {
  fs::create_directories(dir_ / "bm");
  if (::mount("/dev", (dir_ / "bm").c_str(), nullptr, MS_BIND, nullptr) != 0) GTEST_SKIP() << "mount is not permitted";
  const std::string absent = "ruva_absent_" + std::to_string(::getpid());
  fs::create_symlink("../bm/" + absent + ".csv", dir_ / "t/pred.csv");
  const int status = run("--work t prog.ruva");
  const bool made = fs::exists("/dev/" + absent + ".csv") || fs::exists("/dev/" + absent + ".meta.json");
  fs::remove("/dev/" + absent + ".csv");
  fs::remove("/dev/" + absent + ".meta.json");
  ::umount2((dir_ / "bm").c_str(), MNT_DETACH);
  EXPECT_EQ(status, 2);
  EXPECT_FALSE(made);
  EXPECT_EQ(read("log.txt"), "ERROR: The data set WORK.pred cannot be written: the file t/../bm/" + absent +
                                 ".csv cannot be made: the folder t/../bm holds the system's devices or processes.\n");
}

}  // namespace
