// End to end: the built ruva command on small programs.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

class RuvaBinaryTest : public ::testing::Test {
 protected:
  RuvaBinaryTest() {
    dir_ = fs::temp_directory_path() /
           ("ruva_e2e_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  ~RuvaBinaryTest() override { fs::remove_all(dir_); }

  void write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name) << text;
  }
  std::string read(const std::string& name) {
    std::ifstream in(dir_ / name);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  // Runs the command in the test folder; returns its exit status.
  int run(const std::string& args) {
    const fs::path binary = fs::path(RUVA_BINARY_DIR) / "ruva";
    if (!fs::exists(binary)) {
      ADD_FAILURE() << binary << " is not built";
      return -1;
    }
    const std::string command = "cd '" + dir_.string() + "' && '" + binary.string() + "' " +
                                args + " >listing.txt 2>log.txt";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  fs::path dir_;
};

TEST_F(RuvaBinaryTest, TinyFitEndsWithStatusZero) {
  write("d.csv", "x,y\n1,2.9\n2,5.1\n3,7.0\n4,9.2\n5,10.8\n");
  write("fit.ruva", "proc ruva data=d;\n  parms b0=0 b1=1;\n  model y = b0 + b1*x;\nrun;\n");
  EXPECT_EQ(run("fit.ruva"), 0) << read("log.txt");
  EXPECT_NE(read("log.txt").find("1: 0"), std::string::npos) << read("log.txt");
}

TEST_F(RuvaBinaryTest, ProblemsWithTheProgramGiveStatusTwo) {
  EXPECT_EQ(run("missing.ruva"), 2);
  EXPECT_NE(read("log.txt").find("missing.ruva"), std::string::npos);
  write("none.ruva", "data x; run;\n");
  EXPECT_EQ(run("none.ruva"), 2);
  EXPECT_EQ(run("--no-such-option x.ruva"), 2);
  EXPECT_EQ(run("--lib bad x.ruva"), 2);
}

TEST_F(RuvaBinaryTest, LogAndListingGoWhereTheyAreSent) {
  write("d.csv", "x,y\n1,2\n2,4\n3,6.1\n");
  write("fit.ruva", "proc ruva data=d;\n  parms b=1;\n  model y = b*x;\nrun;\n");
  EXPECT_EQ(run("--log run.log --listing run.lst fit.ruva"), 0);
  EXPECT_TRUE(fs::exists(dir_ / "run.log"));
  EXPECT_TRUE(fs::exists(dir_ / "run.lst"));
  EXPECT_NE(read("run.log").find("1: 0"), std::string::npos);
  EXPECT_EQ(run("--log /no/such/dir/run.log fit.ruva"), 2);
}

}  // namespace
