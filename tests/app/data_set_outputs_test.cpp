// The output data sets of a step as a whole: a step that fails writes none
// of them, a data set asked for and not filled is written with no rows, two
// runs writing one data set leave a matching pair of files, and labels from
// the program are cut between characters.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "support/ruva_command.h"

namespace {

constexpr char kBod[] = "time,demand\n1,8.3\n2,10.3\n3,19\n4,16\n5,15.6\n7,19.8\n";
constexpr char kEarlier[] = "x\n1\n";

class DataSetOutputsTest : public RuvaCommandTest {
 protected:
  DataSetOutputsTest() { write("bod.csv", kBod); }
  // Earlier files under the names the step writes.
  void write_earlier(std::initializer_list<const char*> names) {
    for (const char* name : names) write(std::string(name) + ".csv", kEarlier);
  }
  std::string header(const std::string& name) {
    const std::string text = read(name + ".csv");
    return text.substr(0, text.find('\n') + 1);
  }
};

constexpr char kRefits[] =
    "parms a=20 b=.5; model demand=a*(1-exp(-b*time)); profile a b / profdata=prof; "
    "bootstrap / seed=1967 bootdata=boot; run;\n";

// BOOTDATA= (1,000 samples) is beyond a 16 KB file-size limit, and fails
// the step: PROFDATA= and OUTEST=, completed before or after, are not
// written either.
TEST_F(DataSetOutputsTest, AStepThatFailsWritesNoneOfItsDataSets) {
  write("p.ruva", std::string("proc ruva data=bod outest=est; ") + kRefits);
  write_earlier({"prof", "boot", "est"});
  EXPECT_EQ(run_here_with_file_limit("p.ruva", 16 << 10, SIG_IGN), 2);
  for (const char* name : {"prof", "boot", "est"}) EXPECT_EQ(read(std::string(name) + ".csv"), kEarlier) << name;
  for (const char* name : {"prof", "est"})
    EXPECT_NE(here_log_.find("ERROR: The data set WORK." + std::string(name) + " was not written because the step failed."),
              std::string::npos)
        << here_log_;
}

// PROFDATA= and BOOTDATA= asked for in a step whose refits do not run are
// written with their variables and no rows, whatever stopped the refits.
TEST_F(DataSetOutputsTest, ADataSetAskedForAndNotFilledHasNoRows) {
  write("full.ruva", std::string("proc ruva data=bod; ") + kRefits);
  ASSERT_EQ(run("full.ruva"), 0) << read("log.txt");
  const std::string prof = header("prof"), boot = header("boot");
  const std::string stoppers[] = {"where time > 1;", "format demand 8.2;",
                                  "_loss_ = (demand - a*(1-exp(-b*time)))**2;"};
  for (const std::string& stopper : stoppers) {
    write_earlier({"prof", "boot"});
    write("p.ruva", "proc ruva data=bod; " + stopper + " " + kRefits);
    EXPECT_LE(run("p.ruva"), 1) << read("log.txt");
    EXPECT_EQ(read("prof.csv"), prof) << stopper;
    EXPECT_EQ(read("boot.csv"), boot) << stopper;
    const std::string log = read("log.txt");
    EXPECT_NE(log.find("NOTE: The data set WORK.prof has 0 observations"), std::string::npos) << log;
    EXPECT_NE(log.find("NOTE: The data set WORK.boot has 0 observations"), std::string::npos) << log;
  }
}

// Two runs write one data set at once, again and again: the CSV in place
// always goes with its own description.
TEST_F(DataSetOutputsTest, TwoRunsWritingOneDataSetLeaveAMatchingPair) {
  for (const char* p : {"A", "B"})
    write(std::string("p") + p + ".ruva", std::string("proc ruva data=bod; parms a=20 b=.5; ") +
                                              "model demand=a*(1-exp(-b*time)); output out=o p=p" + p + "; run;\n");
  const std::string binary = (std::filesystem::path(RUVA_BINARY_DIR) / "ruva").string();
  const std::string both = "cd '" + dir_.string() + "' && ('" + binary + "' pA.ruva >/dev/null 2>&1 & '" + binary +
                           "' pB.ruva >/dev/null 2>&1 & wait)";
  for (int trial = 0; trial < 20; ++trial) {
    ASSERT_EQ(std::system(both.c_str()), 0);
    const std::string csv = header("o");
    const auto described = nlohmann::json::parse(read("o.meta.json"))["variables"][2]["name"];
    ASSERT_EQ(csv, "time,demand," + described.get<std::string>() + "\n") << "trial " << trial;
  }
}

// A label of 300 bytes whose 256th byte is inside a two-byte character.
TEST_F(DataSetOutputsTest, AProgramsLongLabelIsCutBetweenCharacters) {
  std::string label = "a";
  while (label.size() < 300) label += "\xC3\xA9";
  write("p.ruva", "proc ruva data=bod outest=est; parms a=20 b=.5; label a='" + label +
                      "'; model demand=a*(1-exp(-b*time)); run;\n");
  ASSERT_EQ(run("p.ruva"), 0) << read("log.txt");
  const auto doc = nlohmann::json::parse(read("est.meta.json"));
  const auto& a = doc["variables"][5];
  ASSERT_EQ(a["name"], "a");
  EXPECT_EQ(a["label"], label.substr(0, 255));
}

}  // namespace
