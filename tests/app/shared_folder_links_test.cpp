// Links in a sticky folder that anyone may write (/tmp): one that another
// user planted, owned by neither the run's user nor the folder's owner, is
// not followed by any output, whatever the kernel's protected_symlinks
// says; the run is refused before its first step and writes nothing. The
// run's own links and the folder owner's are followed as ever.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <string>

#include "support/ruva_command.h"

namespace fs = std::filesystem;

namespace {

constexpr char kBod[] = "time,demand\n1,8.3\n2,10.3\n3,19\n4,16\n5,15.6\n7,19.8\n";
constexpr uid_t kNobody = 65534;

class SharedFolderLinksTest : public RuvaCommandTest {
 protected:
  SharedFolderLinksTest() {
    write("prog.ruva", "proc ruva data=bod outest=est; parms a=20 b=.5; model demand=a*(1-exp(-b*time)); "
                       "output out=pred p=p; run;\n");
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
  };
  for (const auto& c : refused) {
    if (std::string(c.link) == "t/hop.csv") link("hop.csv", "t/pred.csv", 0);
    link(c.to, c.link, kNobody);
    EXPECT_EQ(run(std::string("--work t ") + c.args + " prog.ruva"), 2) << c.link;
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

}  // namespace
