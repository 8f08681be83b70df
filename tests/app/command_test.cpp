// The ruva command: arguments, steps of a program, data-set names and the
// exit status.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/program_file.h"
#include "app/runner.h"
#include "platform/libraries.h"

namespace fs = std::filesystem;

namespace {

TEST(ExitStatus, LargestReturnCodeDecides) {
  EXPECT_EQ(app::exit_status({}), 0);
  EXPECT_EQ(app::exit_status({0, 0}), 0);
  EXPECT_EQ(app::exit_status({0, 4, 0}), 1);
  EXPECT_EQ(app::exit_status({4, 8}), 2);
  EXPECT_EQ(app::exit_status({1}), 2);
  EXPECT_EQ(app::exit_status({1012, 4}), 2);
  EXPECT_EQ(app::exit_status({3000}), 2);
}

struct Parsed {
  bool ok;
  app::CommandLine cmd;
  std::string error;
};

Parsed parse(std::vector<const char*> args) {
  args.insert(args.begin(), "ruva");
  Parsed p{};
  p.ok = app::parse_command_line(static_cast<int>(args.size()), args.data(), &p.cmd, &p.error);
  return p;
}

TEST(CommandLine, OptionsTakeValuesEitherWay) {
  Parsed p = parse({"--listing", "out.lst", "--log=run.log", "--work", "/tmp/w", "--lib",
                    "in=/data", "--option", "LINESIZE=100", "--option=nocenter", "a.ruva",
                    "b.ruva"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.cmd.listing, "out.lst");
  EXPECT_EQ(p.cmd.log, "run.log");
  EXPECT_EQ(p.cmd.work, "/tmp/w");
  ASSERT_EQ(p.cmd.libraries.size(), 1u);
  EXPECT_EQ(p.cmd.libraries[0].first, "in");
  EXPECT_EQ(p.cmd.libraries[0].second, "/data");
  EXPECT_EQ(p.cmd.options, (std::vector<std::string>{"LINESIZE=100", "nocenter"}));
  EXPECT_EQ(p.cmd.programs, (std::vector<std::string>{"a.ruva", "b.ruva"}));
  EXPECT_TRUE(parse({"--version"}).cmd.version);
  EXPECT_TRUE(parse({"--help"}).cmd.help);
}

TEST(CommandLine, BadArgumentsSayWhatIsWrong) {
  Parsed none = parse({});
  EXPECT_FALSE(none.ok);
  EXPECT_NE(none.error.find("no program"), std::string::npos);
  Parsed unknown = parse({"--colour", "a.ruva"});
  EXPECT_FALSE(unknown.ok);
  EXPECT_NE(unknown.error.find("--colour"), std::string::npos);
  Parsed dangling = parse({"a.ruva", "--log"});
  EXPECT_FALSE(dangling.ok);
  EXPECT_NE(dangling.error.find("--log"), std::string::npos);
  // An empty file or folder name would quietly mean none.
  for (std::vector<const char*> args : {std::vector<const char*>{"--graphs", ""}, {"--html="}, {"--log="}, {"--work", ""}}) {
    args.push_back("a.ruva");
    Parsed empty = parse(args);
    EXPECT_FALSE(empty.ok) << args[0];
    EXPECT_NE(empty.error.find("name, not an empty one"), std::string::npos) << empty.error;
  }
  for (const char* lib : {"in", "=dir", "in="}) {
    Parsed bad = parse({"--lib", lib, "a.ruva"});
    EXPECT_FALSE(bad.ok) << lib;
    EXPECT_NE(bad.error.find(lib), std::string::npos) << bad.error;
  }
}

// One library, two folders: the message names both. One folder however
// spelled, given twice, is one.
TEST(CommandLine, ALibraryGivenTwoFoldersIsRefused) {
  const std::string here = std::filesystem::current_path().string();
  for (std::vector<const char*> args : {std::vector<const char*>{"--work", "X", "--lib", "work=Y"},
                                        {"--lib", "in=X", "--lib", "IN=Y"}, {"--work", "X", "--work=Y"}}) {
    args.push_back("a.ruva");
    Parsed p = parse(args);
    EXPECT_FALSE(p.ok) << args[0];
    EXPECT_NE(p.error.find("two folders, X and Y"), std::string::npos) << p.error;
  }
  EXPECT_TRUE(parse({"--work", ".", "--lib", "work=./", "--lib", "a=X", "--lib", "A=X/", "a.ruva"}).ok);
  EXPECT_TRUE(parse({"--work", here.c_str(), "--lib", "work=.", "a.ruva"}).ok);
}

TEST(ProgramFile, StepsRunFromProcToRunOrTheNextProc) {
  const std::string text =
      "/* header; with a semicolon */\n"
      "proc ruva data=a;\n"
      "  model y = b0 + b1*x; /* ; */\n"
      "run;\n"
      "* a comment statement outside a step;\n"
      "PROC RUVA data=b; title 'a;b';\n"
      "proc ruva data=c; parms t=1;\n"
      "quit;\n";
  app::SplitResult r = app::split_program(text, "p.ruva");
  ASSERT_EQ(r.steps.size(), 3u);
  EXPECT_EQ(r.steps[0].first_line, 2);
  EXPECT_EQ(r.steps[0].text, "proc ruva data=a;\n  model y = b0 + b1*x; /* ; */\n");
  EXPECT_EQ(r.steps[1].first_line, 6);
  EXPECT_EQ(r.steps[1].text, "PROC RUVA data=b; title 'a;b';\n");
  EXPECT_EQ(r.steps[2].first_line, 7);
  EXPECT_EQ(r.steps[2].file, "p.ruva");
  EXPECT_TRUE(r.stray_lines.empty());
  // A comment inside a statement hides its semicolons too.
  app::SplitResult c = app::split_program("proc ruva data=a /* ; */ outest=e;\nrun;\n", "c");
  ASSERT_EQ(c.steps.size(), 1u);
  EXPECT_EQ(c.steps[0].text, "proc ruva data=a /* ; */ outest=e;\n");
}

TEST(ProgramFile, TextOutsideStepsIsReportedByLine) {
  app::SplitResult r = app::split_program("data x;\nset y;\nrun;\nproc print;\nrun;\n", "q");
  EXPECT_TRUE(r.steps.empty());
  EXPECT_EQ(r.stray_lines, (std::vector<int>{1, 2, 4}));
  EXPECT_TRUE(app::split_program("", "empty").steps.empty());
}

class LibrariesTest : public ::testing::Test {
 protected:
  LibrariesTest() {
    // A folder of its own: the tests of this fixture may run at once.
    std::string pattern = (fs::temp_directory_path() / "ruva_libraries_XXXXXX").string();
    root_ = mkdtemp(pattern.data());
    fs::create_directories(root_ / "work");
    fs::create_directories(root_ / "in");
    std::ofstream(root_ / "in" / "Mixed.csv") << "x\n1\n";
  }
  ~LibrariesTest() override { fs::remove_all(root_); }
  fs::path root_;
};

TEST_F(LibrariesTest, OneAndTwoLevelNamesResolveToCsvFiles) {
  platform::Libraries libs;
  libs.set_work(root_ / "work");
  ASSERT_TRUE(libs.define("In", root_ / "in"));
  fs::path file;
  std::string error;
  ASSERT_TRUE(libs.resolve("fit", &file, &error)) << error;
  EXPECT_EQ(file, root_ / "work" / "fit.csv");
  ASSERT_TRUE(libs.resolve("FIT", &file, &error));
  EXPECT_EQ(file, root_ / "work" / "fit.csv");  // a new file takes the lower-case name
  ASSERT_TRUE(libs.resolve("in.data", &file, &error));
  EXPECT_EQ(file, root_ / "in" / "data.csv");
  ASSERT_TRUE(libs.resolve("IN.Mixed", &file, &error));
  EXPECT_EQ(file, root_ / "in" / "Mixed.csv");  // an existing file keeps its case
  ASSERT_TRUE(libs.resolve("work.fit", &file, &error));
  EXPECT_EQ(file, root_ / "work" / "fit.csv");
}

TEST_F(LibrariesTest, UndefinedLibrariesAndBadNamesAreRefused) {
  platform::Libraries libs;
  fs::path file;
  std::string error;
  EXPECT_FALSE(libs.resolve("other.x", &file, &error));
  EXPECT_NE(error.find("OTHER"), std::string::npos) << error;
  for (const char* bad : {"", "1abc", "a.b.c", "a-b", ".x", "x.", "toolonglibname.x"}) {
    error.clear();
    EXPECT_FALSE(libs.resolve(bad, &file, &error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
  EXPECT_FALSE(libs.define("9lib", root_));
  EXPECT_FALSE(libs.define("ninechars", root_));
  EXPECT_TRUE(libs.resolve(std::string(32, 'v'), &file, &error));
  EXPECT_FALSE(libs.resolve(std::string(33, 'v'), &file, &error));
}

}  // namespace
