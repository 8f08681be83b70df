// Links in a sticky folder that anyone may write (/tmp): one that another
// user planted, owned by neither the run's user nor the folder's owner, is
// not followed by any output or input, whatever the kernel's
// protected_symlinks says, wherever it stands on the way, a folder's link
// included; an output's refuses the run before its first step and writes
// nothing, an input's is not read. Nor is one planted while the run goes
// on: strace stops the run after each of its calls that names the file,
// and the link is planted there. The run's own links and the folder
// owner's are followed as ever.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <string>

#include "support/ruva_command.h"
#include "support/shared_folder.h"

namespace fs = std::filesystem;

namespace {

using shared_folder::kBod;
using shared_folder::kNobody;

class SharedFolderLinksTest : public RuvaCommandTest {
 protected:
  SharedFolderLinksTest() {
    write("prog.ruva", shared_folder::kProgram);
    for (const char* folder : {"t", "u", "closed"}) fs::create_directories(dir_ / folder);
    for (const char* folder : {"t", "u"}) {
      fs::permissions(dir_ / folder, fs::perms(01777));
      write(std::string(folder) + "/bod.csv", kBod);
    }
    fs::permissions(dir_ / "closed", fs::perms(0700));
    write("closed/secret", "secret");
    fs::permissions(dir_ / "closed/secret", fs::perms(0600));
  }
  // A link at `link` to `to`, owned by `owner`.
  void link(const std::string& to, const std::string& link, uid_t owner) {
    fs::create_symlink(to, dir_ / link);
    ASSERT_EQ(::lchown((dir_ / link).c_str(), owner, owner), 0);
  }
};

TEST_F(SharedFolderLinksTest, AnotherUsersLinkIsRefusedBeforeTheFirstStep) {
  if (::geteuid() != 0) GTEST_SKIP() << "a link of another user is made by root";
  write("o.ruva", "proc ruva data=bod outest=o.secret; parms a=20 b=.5; model demand=a*(1-exp(-b*time)); run;\n");
  const std::string why = " belongs neither to this user nor to the owner of the sticky folder t, which anyone may "
                          "write, so it is not followed.\n";
  const struct {
    const char* link;
    const char* to;
    const char* args;
    std::string message;
  } refused[] = {
      {"t/pred.csv", "../closed/secret", "", "The data set WORK.pred cannot be written: the link t/pred.csv"},
      {"t/pred.csv", "../closed/new.csv", "", "The data set WORK.pred cannot be written: the link t/pred.csv"},
      {"t/PRED.CSV", "../closed/secret", "", "The data set WORK.pred cannot be written: the link t/PRED.CSV"},
      {"t/pred.meta.json", "../closed/secret", "", "The data set WORK.pred cannot be written: the link t/pred.meta.json"},
      {"t/est.csv", "../closed/secret", "", "The data set WORK.est cannot be written: the link t/est.csv"},
      // Each link of a chain: the first is the run's own.
      {"t/hop.csv", "../closed/secret", "", "The data set WORK.pred cannot be written: the link t/hop.csv"},
      {"t/j.json", "../closed/secret", "--json t/j.json", "The JSON file cannot be written: the link t/j.json"},
      {"t/l.log", "../closed/secret", "--log t/l.log", "The log file cannot be written: the link t/l.log"},
      {"t/l.lst", "../closed/secret", "--listing t/l.lst", "The listing file cannot be written: the link t/l.lst"},
      // A link to a folder on the way; the first is the run's own link to
      // the file in it.
      {"t/nd", "../closed", "", "The data set WORK.pred cannot be written: the link t/nd"},
      {"t/nd", "../closed", "--json t/nd/secret", "The JSON file cannot be written: the link t/nd"},
      {"t/nd", "../closed", "--log t/nd/secret", "The log file cannot be written: the link t/nd"},
      {"t/nd", "../closed", "--graphs t/nd/g", "The graphs cannot be written: the link t/nd"},
      {"t/nd", "../closed", "--lib o=t/nd", "The data set O.secret cannot be written: the link t/nd"},
      {"t/nd", "../closed", "--work t/nd", "The data set WORK.est cannot be written: the link t/nd"},
  };
  for (const auto& c : refused) {
    if (std::string(c.link) == "t/hop.csv") link("hop.csv", "t/pred.csv", 0);
    if (std::string(c.link) == "t/nd" && !*c.args) link("nd/secret", "t/pred.csv", 0);
    link(c.to, c.link, kNobody);
    const std::string args = c.args;
    if (args.starts_with("--work"))
      EXPECT_EQ(run(args + " prog.ruva"), 2) << c.link;
    else
      EXPECT_EQ(run("--work t " + args + (args.starts_with("--lib") ? " o.ruva" : " prog.ruva")), 2) << c.link;
    EXPECT_EQ(read("log.txt"), "ERROR: " + c.message + why) << c.link;
    EXPECT_EQ(read("closed/secret"), "secret") << c.link;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "closed"), fs::directory_iterator()), 1) << c.link;
    EXPECT_FALSE(fs::exists(dir_ / "t/est.csv") && !fs::is_symlink(dir_ / "t/est.csv")) << c.link;
    fs::remove(dir_ / c.link);
    fs::remove(dir_ / "t/pred.csv");
  }
}

// The run's own link in another's folder, and the folder owner's link.
TEST_F(SharedFolderLinksTest, TheUsersOwnLinkAndTheFolderOwnersAreFollowed) {
  if (::geteuid() != 0) GTEST_SKIP() << "a folder of another user is made by root";
  ASSERT_EQ(::chown((dir_ / "u").c_str(), kNobody, kNobody), 0);
  link("../closed/own.csv", "u/pred.csv", 0);
  link("../closed/owner.csv", "u/est.csv", kNobody);
  EXPECT_EQ(run("--work u prog.ruva"), 0) << read("log.txt");
  EXPECT_EQ(read("closed/own.csv").substr(0, 14), "time,demand,p\n");
  EXPECT_EQ(read("closed/owner.csv").substr(0, 10), "_TYPE_,_ST");
  EXPECT_TRUE(fs::exists(dir_ / "closed/own.meta.json"));
}

// Another user's link at an input, or at a folder on the way to one, is
// not read: one ERROR names it, and the step writes nothing; a program
// file so reached is not run.
TEST_F(SharedFolderLinksTest, AnotherUsersLinkAtAnInputIsNotRead) {
  if (::geteuid() != 0) GTEST_SKIP() << "a link of another user is made by root";
  write("closed/rsecret.csv", kBod);
  write("x.ruva", "proc ruva data=x; parms a=20 b=.5; model demand=a*(1-exp(-b*time)); output out=pred p=p; run;\n");
  write("o.ruva", "proc ruva data=o.rsecret; parms a=20 b=.5; model demand=a*(1-exp(-b*time)); run;\n");
  const struct {
    const char* link;
    const char* to;
    const char* args;
    const char* message;
  } refused[] = {
      {"t/x.csv", "../closed/rsecret.csv", "x.ruva", "The data set WORK.x cannot be read from t/x.csv: the link t/x.csv"},
      {"t/bod.meta.json", "../closed/secret", "prog.ruva",
       "The data set WORK.bod cannot be read from t/bod.meta.json: the link t/bod.meta.json"},
      {"t/nd", "../closed", "--lib o=t/nd o.ruva", "The data set O.rsecret cannot be read from t/nd/rsecret.csv: the link t/nd"},
      {"t/p.ruva", "../closed/p.ruva", "t/p.ruva", "The program file t/p.ruva cannot be read: the link t/p.ruva"},
  };
  write("closed/p.ruva", "proc ruva data=bod outest=secret; parms a=20 b=.5; model demand=a*(1-exp(-b*time)); run;\n");
  for (const auto& c : refused) {
    link(c.to, c.link, kNobody);
    EXPECT_EQ(run(std::string("--work t ") + c.args), 2) << c.link;
    const std::string log = read("log.txt");
    EXPECT_NE(log.find(std::string("ERROR: ") + c.message + " belongs neither to this user nor to the owner of the "
                       "sticky folder t, which anyone may write, so it is not followed.\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("ERROR"), log.rfind("ERROR")) << log;
    for (const char* made : {"t/pred.csv", "t/secret.csv"}) EXPECT_FALSE(fs::exists(dir_ / made)) << c.link;
    fs::remove(dir_ / c.link);
  }
}

// strace stops the run after each of its calls that names an output in the
// sticky folder t, where the run works; at one stop after another, another
// user plants a link there to the closed folder's secret. No write goes
// through it, whatever the stop: the run refuses the link, or replaces it.
TEST_F(SharedFolderLinksTest, ALinkPlantedAsTheRunGoesLeadsNoWriteAway) {
  if (::geteuid() != 0) GTEST_SKIP() << "a link of another user is made by root";
  if (std::system("strace -o /dev/null true >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace cannot run here";
  const struct {
    const char* args;
    const char* name;
  } outputs[] = {{"--log o.log", "o.log"},      {"--listing o.lst", "o.lst"}, {"--json o.json", "o.json"},
                 {"--log l.log", "pred.csv"}, {"--log l.log", "pred.meta.json"}};
  for (const auto& o : outputs) {
    const std::string args = std::string(o.args) + " ../prog.ruva";
    int stops = 0;
    run_stopping_at("t", args, o.name, [&](int, pid_t) { ++stops; });
    EXPECT_GT(stops, 1) << o.name;
    for (int planted = 1; planted <= stops; ++planted) {
      for (const auto& entry : fs::directory_iterator(dir_ / "t"))
        if (entry.path().filename() != "bod.csv") fs::remove(entry.path());
      run_stopping_at("t", args, o.name, [&](int stop, pid_t) {
        std::error_code taken;  // the run's own file may stand there already
        if (stop != planted) return;
        fs::create_symlink("../closed/secret", dir_ / "t" / o.name, taken);
        if (!taken) {
          ASSERT_EQ(::lchown((dir_ / "t" / o.name).c_str(), kNobody, kNobody), 0);
        }
      });
      EXPECT_EQ(read("closed/secret"), "secret") << o.name << ", planted at stop " << planted;
      EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "closed"), fs::directory_iterator()), 1)
          << o.name << ", planted at stop " << planted;
    }
  }
}

}  // namespace
