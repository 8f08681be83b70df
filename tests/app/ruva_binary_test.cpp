// End to end: the built ruva command on small programs.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
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

// Deep statements of every shape compile, are differentiated and run at the
// nesting limits (the step's thread has the stack for them), and stop with
// the numbered error, status 2 and no crash one level beyond them.
TEST_F(RuvaBinaryTest, DeepStatementsRunAtTheLimitsAndStopBeyondThem) {
  write("d.csv", "x,y\n1,2.9\n2,5.1\n3,7.0\n4,9.2\n5,10.8\n");
  auto repeat = [](const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
  };
  const std::string model = "model y = a*x + b;\n";
  struct Shape {
    const char* name;
    std::function<std::string(int)> statements;  // n levels deep
    int limit;                                   // the most levels that compile
    const char* beyond;                          // the error's text beyond it
  };
  const char* nesting = "nests more than 1000 levels";
  const char* depth = "more than 50000 operations deep";
  const Shape shapes[] = {
      {"parentheses", [&](int n) { return "model y = " + repeat("(", n) + "a*x+b" + repeat(")", n) + ";\n"; },
       999, nesting},
      {"prefix minus", [&](int n) { return "model y = b - " + repeat("-", n) + "a*x;\n"; }, 999, nesting},
      {"calls", [&](int n) { return "model y = b + " + repeat("log(1+", n) + "a*x" + repeat(")", n) + ";\n"; },
       999, nesting},
      {"IF", [&](int n) { return repeat("if x > 0 then ", n) + model; }, 999, nesting},
      {"DO", [&](int n) { return repeat("do; ", n) + model + repeat("end; ", n); }, 999, nesting},
      {"ELSE IF", [&](int n) {
         std::string s = "if x = 0 then z = 0;\n";
         for (int i = 1; i < n; ++i) s += "else if x = " + std::to_string(i) + " then z = 1;\n";
         return s + model;
       }, 999, nesting},
      {"sum", [&](int n) { return "model y = b" + repeat("+a*x", n) + ";\n"; }, 49998, depth},
      {"product", [&](int n) { return "model y = b" + repeat("*a", n) + ";\n"; }, 49999, depth},
  };
  for (const Shape& s : shapes) {
    for (int n : {s.limit, s.limit + 1}) {
      write("deep.ruva", "proc ruva data=d;\nparms a=1 b=0.5;\n" + s.statements(n) + "run;\n");
      const int status = run("deep.ruva");
      const std::string log = read("log.txt");
      if (n == s.limit) {
        EXPECT_LT(status, 2) << s.name << " at " << n << ":\n" << log.substr(0, 2000);
        EXPECT_EQ(log.find(s.beyond), std::string::npos) << s.name;
      } else {
        EXPECT_EQ(status, 2) << s.name << " beyond the limit";
        EXPECT_NE(log.find(s.beyond), std::string::npos) << s.name << ":\n" << log.substr(0, 2000);
      }
    }
  }
}
