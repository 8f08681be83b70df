// Other users can neither stall nor steer a run in a folder they share
// with it: names planted at the run's temporary names, a reader's lock on
// the listing, the log or a data sets' folder, another user's description
// in a sticky folder, a named pipe that no process writes at an input, and
// /dev bound elsewhere.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
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
  EXPECT_NE(read("l.lst").find("Parameter Estimates"), std::string::npos);
  EXPECT_EQ(read("log.txt"), "");
}

// Another user, who may read the folder r but not write it, locks it as
// anyone who may read it can: the run reads and writes its data sets
// there all the same, after a moment, and says not that it waits.
TEST_F(SharedFolderOthersTest, AReadersLockOfADataSetsFolderDoesNotStallTheRun) {
  if (::geteuid() != 0) GTEST_SKIP() << "another user's process is started by root";
  fs::create_directories(dir_ / "r");
  fs::permissions(dir_ / "r", fs::perms(0755));
  write("r/bod.csv", kBod);
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t holder = fork();
  if (holder == 0) {
    const int folder = ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0
                           ? ::open((dir_ / "r").c_str(), O_RDONLY | O_DIRECTORY)
                           : -1;
    if (folder >= 0 && ::flock(folder, LOCK_EX) == 0 && ::write(ready[1], "1", 1) == 1) ::pause();
    _exit(1);
  }
  char locked = 0;
  ASSERT_EQ(::read(ready[0], &locked, 1), 1);
  const int status = run("--work r prog.ruva", 20);
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
  EXPECT_EQ(status, 0) << read("log.txt");
  EXPECT_EQ(read("log.txt").find("waits for another process's lock"), std::string::npos) << read("log.txt");
  EXPECT_TRUE(fs::exists(dir_ / "r/pred.csv"));
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
