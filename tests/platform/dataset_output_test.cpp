// Output data sets: rows hold the bound values at emit time, numbers survive
// a write and a read bit for bit, the description travels with the file
// (beside a link's target, under the folder's lock), and a data set that
// cannot be written, or whose step fails, leaves no file behind.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <bit>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <limits>
#include <nlohmann/json.hpp>
#include <random>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "dataset_fixture.h"
#include "host/missing.h"
#include "platform/datasets/name_list.h"
#include "platform/datasets/table_loader.h"

namespace {

int define_number(XV_VECTOR* v, const char* name, const double* cell, const char* label = "") {
  NAMESTR d;
  xvnamei(&d);
  d.name = name;
  d.namelen = static_cast<int>(std::strlen(name));
  d.label = label;
  d.labellen = static_cast<int>(std::strlen(label));
  return xvputd(v, &d, 0, cell, 0, 0, nullptr);
}

int define_text(XV_VECTOR* v, const char* name, int length, const char* cell, int bytes) {
  NAMESTR d;
  xvnamei(&d);
  d.type = kCharacter;
  d.length = length;
  d.name = name;
  d.namelen = static_cast<int>(std::strlen(name));
  return xvputd(v, &d, 0, cell, bytes, 0, nullptr);
}

// Gathers the bound values and appends the row through the write operation.
int emit(XO_FILE* out, XV_VECTOR* v, const void* record = nullptr) {
  EXPECT_EQ(xyvput(v, record), 0);
  XO_PARMS p{};
  p.file = out;
  return out->write(&p);
}

class OutputTest : public DataSetTest {
 protected:
  // Terminates the vector, then ends the data sets as a step that succeeded
  // does: a data set is written under its name only then.
  int terminate(XV_VECTOR* v) {
    const int rc = xvputt(v);
    host().datasets().end_outputs(false);
    return rc;
  }
};

// The information, variable and reading services answer for an output
// data set what it has, and refuse what it, or a handle that is no data
// set, cannot give.
TEST_F(OutputTest, ServicesAnswerWhatAnOutputHasAndRefuseTheRest) {
  XO_FILE* out = host().datasets().open_output("o");
  int count = -1;
  ASSERT_EQ(xoinfo(out, kXoVariables, &count), 0);
  EXPECT_EQ(count, 0);
  XV_VECTOR* v = nullptr;
  ASSERT_EQ(xvputi(out, 1, 32, &v), 0);
  double x = 1;
  ASSERT_EQ(define_number(v, "x", &x), 0);
  ASSERT_EQ(xoinfo(out, kXoVariables, &count), 0);
  EXPECT_EQ(count, 1);
  int varnum = 0;
  EXPECT_EQ(xvfind(out, "X", 1, &varnum, 0), 0);
  EXPECT_EQ(varnum, 1);
  EXPECT_EQ(xoinfo(out, 99, &count), kXoBadRequest);
  write_file("d.csv", "a\n1\n");
  EXPECT_EQ(xoinfo(open("d"), 99, &count), kXoBadRequest);
  XO_FILE none{};  // a handle the host did not make
  EXPECT_EQ(xoinfo(&none, kXoVariables, &count), kXoBadHandle);
  EXPECT_EQ(xvfind(&none, "x", 1, &varnum, 0), kXoBadArgument);
  for (XO_FILE* file : {out, &none})
    for (int (*read)(XO_PARMS*) : {&xybyget, &xopnt, &xoget}) {
      XO_PARMS parms{};
      parms.file = file;
      parms.record = &x;
      parms.count = 1;
      EXPECT_EQ(read(&parms), file == out ? kXoNotInput : kXoBadHandle);
      EXPECT_NE(parms.flags & kXoFailed, 0u);
      EXPECT_EQ(parms.record, nullptr);
      EXPECT_EQ(parms.count, 0);
    }
}

TEST_F(OutputTest, ARowHoldsTheBoundValuesWhenItIsEmitted) {
  write_file("o.csv", "x\n7\n");
  XO_FILE* in = open("O");  // the data set replaced by this step's output, which may be
  ASSERT_NE(in, nullptr);
  XO_FILE* out = host().datasets().open_output("o");
  ASSERT_NE(out, nullptr);
  XV_VECTOR* v = nullptr;
  ASSERT_EQ(xvputi(out, 2, 32, &v), 0);
  double x = 0;
  char s[16] = "abcdefghijklmno";
  ASSERT_EQ(define_number(v, "x", &x), 0);
  ASSERT_EQ(define_text(v, "s", 8, s, 3), 0);  // three bytes of the field, padded to 8
  ASSERT_EQ(xvpute(v), 0);
  int count = 0, varnum = 0;
  EXPECT_EQ(xoinfo(out, kXoVariables, &count), 0);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(xvfind(out, "S", 1, &varnum, 0), 0);
  EXPECT_EQ(varnum, 2);
  x = 1;
  ASSERT_EQ(emit(out, v), 0);
  x = 2.5;
  std::memcpy(s, "de ", 3);
  ASSERT_EQ(v->put(v, nullptr), 0);  // the vector's own operation is xyvput
  XO_PARMS p{};
  p.file = out;
  ASSERT_EQ(out->write(&p), 0);
  x = 3;                          // changed but never emitted
  ASSERT_EQ(xvputt(v), 0);
  EXPECT_EQ(read_file("o.csv"), "x\n7\n");  // nothing under the final name before the step ends
  host().datasets().end_outputs(false);
  EXPECT_EQ(read_file("o.csv"), "x,s\n1,abc\n2.5,de\n");
  EXPECT_NE(log_text().find("NOTE: The data set WORK.o has 2 observations and 2 variables.\n"
                            "NOTE: The data set WORK.O, an input of this step, is replaced by its output."),
            std::string::npos)
      << log_text();
  EXPECT_NE(xvputt(v), 0);  // terminated once
  // The input was read whole before it was replaced.
  std::vector<double> cells;
  XV_VECTOR* iv = bind_numbers(in, {"x"}, &cells);
  ASSERT_EQ(xbynext(in), 1);
  EXPECT_EQ(read_group(in, iv, cells), (std::vector<std::vector<double>>{{7}}));
}

TEST_F(OutputTest, NumbersAndTextsSurviveAWriteAndAReadBitForBit) {
  std::mt19937_64 rng(20240611);
  std::vector<double> values = {0.0,
                                -0.0,
                                0.1,
                                1.0 / 3,
                                1e21,
                                123456789012345680.0,
                                std::numeric_limits<double>::denorm_min(),
                                std::numeric_limits<double>::min(),
                                std::numeric_limits<double>::max(),
                                std::numeric_limits<double>::lowest(),
                                missing_value(),
                                underscore_missing_value(),
                                letter_missing_value('A'),
                                letter_missing_value('Z')};
  while (values.size() < 3000) {
    double d = std::bit_cast<double>(rng());
    if (std::isfinite(d)) values.push_back(d);
  }
  const std::vector<std::string> texts = {"001", "a,b", "say \"x\"", "two\nlines", "", " lead"};
  XO_FILE* out = host().datasets().open_output("rt");
  XV_VECTOR* v = nullptr;
  ASSERT_EQ(xvputi(out, 2, 0, &v), 0);
  double x = 0;
  char t[12];
  ASSERT_EQ(define_number(v, "x", &x), 0);
  ASSERT_EQ(define_text(v, "t", 12, t, 0), 0);
  ASSERT_EQ(xvpute(v), 0);
  for (std::size_t i = 0; i < values.size(); ++i) {
    x = values[i];
    std::memset(t, ' ', sizeof t);
    const std::string& s = texts[i % texts.size()];
    std::memcpy(t, s.data(), s.size());
    ASSERT_EQ(emit(out, v), 0);
  }
  ASSERT_EQ(terminate(v), 0);

  std::vector<double> cells;
  XO_FILE* in = open("rt");
  ASSERT_NE(in, nullptr) << log_text();
  XV_VECTOR* g = bind_numbers(in, {"x"}, &cells);
  char back[12];
  int tv = 0;
  ASSERT_EQ(xvfind(in, "t", 1, &tv, 0), 0);
  NAMESTR d{};
  ASSERT_EQ(xvname(in, tv, &d), 0);
  EXPECT_EQ(d.type, kCharacter);  // "001" stays text: the description says so
  EXPECT_EQ(d.length, 12);
  XV_VECTOR* gt = nullptr;
  ASSERT_EQ(xvgeti(in, 2, &gt), 0);
  ASSERT_EQ(xvgetd(gt, tv, 0, back, 12, 8, 0, 0), 0);
  ASSERT_EQ(xvgete(gt), 0);
  ASSERT_EQ(xbynext(in), 1);
  XO_PARMS p{};
  p.file = in;
  for (std::size_t i = 0; i < values.size(); ++i) {
    ASSERT_EQ(xybyget(&p), 0);
    ASSERT_EQ(xyvget(g, 0), 0);
    ASSERT_EQ(xyvget(gt, 0), 0);
    const double written = values[i] == 0 ? 0.0 : values[i];  // -0 is written as 0
    ASSERT_EQ(std::bit_cast<std::uint64_t>(cells[0]), std::bit_cast<std::uint64_t>(written))
        << "row " << i << ": " << values[i];
    std::string s = texts[i % texts.size()];
    ASSERT_EQ(std::string(back, 12), s + std::string(12 - s.size(), ' ')) << "row " << i;
  }
}

// A value that is no number (an infinity, a NaN) is written as missing.
TEST_F(OutputTest, ValuesThatAreNoNumbersAreWrittenAsMissing) {
  XO_FILE* out = host().datasets().open_output("inf");
  XV_VECTOR* v = nullptr;
  ASSERT_EQ(xvputi(out, 1, 0, &v), 0);
  double x = 0;
  ASSERT_EQ(define_number(v, "x", &x), 0);
  ASSERT_EQ(xvpute(v), 0);
  for (double d : {HUGE_VAL, -HUGE_VAL, std::nan(""), 1.5}) {
    x = d;
    ASSERT_EQ(emit(out, v), 0);
  }
  ASSERT_EQ(terminate(v), 0);
  EXPECT_EQ(read_file("inf.csv"), "x\n\"\"\n\"\"\n\"\"\n1.5\n");
}

TEST_F(OutputTest, ABlankTextAloneInItsRowIsReadBackAsARow) {
  XO_FILE* out = host().datasets().open_output("lone");
  XV_VECTOR* v = nullptr;
  ASSERT_EQ(xvputi(out, 1, 0, &v), 0);
  char t[4];
  ASSERT_EQ(define_text(v, "t", 4, t, 0), 0);
  ASSERT_EQ(xvpute(v), 0);
  for (const char* s : {"    ", "a   ", "    "}) {
    std::memcpy(t, s, 4);
    ASSERT_EQ(emit(out, v), 0);
  }
  ASSERT_EQ(terminate(v), 0);
  EXPECT_EQ(read_file("lone.csv"), "t\n\"\"\na\n\"\"\n");
  platform::ds::Problem problem;
  auto table = platform::ds::load_table("WORK.LONE", dir_ / "lone.csv", &problem);
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->rows, 3);
}

TEST_F(OutputTest, TheDescriptionCarriesTypeLabelAndVariableLabels) {
  XO_FILE* out = host().datasets().open_output("est");
  XV_VECTOR* v = nullptr;
  ASSERT_EQ(xvputi(out, 1, 32, &v), 0);
  XO_LABEL label;
  label.length = 40;
  std::memset(label.text, ' ', 40);
  std::memcpy(label.text, "RUVA PARAMETER ESTIMATES", 24);
  ASSERT_EQ(xoinfo(out, 22, &label), 0);
  ASSERT_EQ(xoinfo(out, 21, const_cast<char*>("EST     ")), 0);
  double sse = 4.25;
  ASSERT_EQ(define_number(v, "_SSE_", &sse, "Sum of squared errors"), 0);
  ASSERT_EQ(xvpute(v), 0);
  ASSERT_EQ(emit(out, v), 0);
  ASSERT_EQ(terminate(v), 0);

  auto doc = nlohmann::json::parse(read_file("est.meta.json"));
  EXPECT_EQ(doc["type"], "EST");
  EXPECT_EQ(doc["label"], "RUVA PARAMETER ESTIMATES");
  EXPECT_EQ(doc["variables"][0]["label"], "Sum of squared errors");
  XO_FILE* in = open("est");
  char type[8];
  ASSERT_EQ(xoinfo(in, 21, type), 0);
  EXPECT_EQ(std::string(type, 8), "EST     ");
}

TEST_F(OutputTest, CopiedVariablesTakeTheirGroupsValuesOrTheGivenRecord) {
  write_file("in.csv", "g,x\na,1\na,2\nb,3\n");
  XO_FILE* in = open_by("in", platform::BySpec{{{"g"}}});
  XO_FILE* out = host().datasets().open_output("by");
  XV_VECTOR* v = nullptr;
  ASSERT_EQ(xvputi(out, 3, 32, &v), 0);
  std::vector<std::uint64_t> by_list = platform::ds::make_name_list({"G"});
  ASSERT_EQ(xvputcv(v, in, by_list.data(), 1, 0), 0);
  double n = 0;
  ASSERT_EQ(define_number(v, "n", &n), 0);
  ASSERT_EQ(xvpute(v), 0);

  XO_FILE* all = host().datasets().open_output("all");
  XV_VECTOR* va = nullptr;
  ASSERT_EQ(xvputi(all, 2, 0, &va), 0);
  ASSERT_EQ(xvputcv(va, in, nullptr, 2, 0), 0);
  ASSERT_EQ(xvpute(va), 0);

  std::vector<double> cells;
  XV_VECTOR* get = bind_numbers(in, {"x"}, &cells);
  while (xbynext(in) > 0) {
    n = static_cast<double>(read_group(in, get, cells).size());
    ASSERT_EQ(in->current, nullptr);  // the pass has ended
    ASSERT_EQ(emit(out, v), 0);       // the group's BY value all the same
    const void* last = nullptr;
    ASSERT_EQ(xoinfo(in, 18, &last), 0);
    ASSERT_EQ(emit(all, va, last), 0);
  }
  ASSERT_EQ(xvputt(v), 0);
  ASSERT_EQ(terminate(va), 0);
  EXPECT_EQ(read_file("by.csv"), "g,n\na,2\nb,1\n");
  EXPECT_EQ(read_file("all.csv"), "g,x\na,2\nb,3\n");

  EXPECT_NE(xvputcv(va, in, nullptr, 1, 0), 0);  // after the end of the definition
  std::vector<std::uint64_t> absent = platform::ds::make_name_list({"nope"});
  XO_FILE* o2 = host().datasets().open_output("o2");
  XV_VECTOR* v2 = nullptr;
  ASSERT_EQ(xvputi(o2, 1, 0, &v2), 0);
  EXPECT_NE(xvputcv(v2, in, absent.data(), 1, 0), 0);
  EXPECT_NE(log_text().find("The variable nope is not in the data set WORK.in."),
            std::string::npos);
}

TEST_F(OutputTest, DefinitionsThatCannotBeMadeAreRefusedWithAMessage) {
  XO_FILE* out = host().datasets().open_output("bad");
  XV_VECTOR* v = nullptr;
  ASSERT_EQ(xvputi(out, 4, 0, &v), 0);
  XV_VECTOR* again = nullptr;
  EXPECT_NE(xvputi(out, 4, 0, &again), 0);
  EXPECT_EQ(again, nullptr);
  double x = 0;
  EXPECT_EQ(define_number(v, "x", &x), 0);
  EXPECT_NE(define_number(v, "X", &x), 0);
  EXPECT_NE(log_text().find("The variable X cannot be added to the data set WORK.bad: it is "
                            "defined already."),
            std::string::npos);
  EXPECT_NE(define_number(v, "DER_a_name_that_is_far_too_long_to_use", &x), 0);
  EXPECT_NE(define_text(v, "s", 0, "", 0), 0);
  EXPECT_NE(define_number(v, "y", nullptr), 0);
  NAMESTR d;
  xvnamei(&d);
  d.type = 3;
  d.name = "z";
  d.namelen = 1;
  EXPECT_NE(xvputd(v, &d, 0, &x, 0, 0, nullptr), 0);
  EXPECT_NE(log_text().find("The variable z cannot be added to the data set WORK.bad: its type must be 1 (numeric) "
                            "or 2 (character)."),
            std::string::npos)
      << log_text();
  EXPECT_EQ(host().datasets().open_output("BAD"), nullptr);
  EXPECT_NE(log_text().find("The data set WORK.BAD is already open for output"), std::string::npos);
}

TEST_F(OutputTest, AnUnwritableFolderLeavesNoFile) {
  ASSERT_TRUE(host().libraries().define("gone", dir_ / "gone"));
  XO_FILE* out = host().datasets().open_output("gone.x");
  ASSERT_NE(out, nullptr);
  XV_VECTOR* v = nullptr;
  ASSERT_EQ(xvputi(out, 1, 0, &v), 0);
  double x = 1;
  ASSERT_EQ(define_number(v, "x", &x), 0);
  EXPECT_NE(xvpute(v), 0);
  EXPECT_NE(emit(out, v), 0);
  EXPECT_NE(xvputt(v), 0);
  EXPECT_NE(log_text().find("ERROR: The data set GONE.x was not written: no file can be created in the folder"),
            std::string::npos)
      << log_text();
  EXPECT_FALSE(std::filesystem::exists(dir_ / "gone"));
}

// The description goes with the data: when it cannot be written, neither is.
TEST_F(OutputTest, ADescriptionThatCannotBeWrittenLeavesNoData) {
  std::filesystem::create_directory(dir_ / "d.meta.json");
  XO_FILE* out = host().datasets().open_output("d");
  XV_VECTOR* v = nullptr;
  double x = 1;
  ASSERT_EQ(xvputi(out, 1, 0, &v), 0);
  ASSERT_EQ(define_number(v, "x", &x), 0);
  ASSERT_EQ(xvpute(v), 0);
  ASSERT_EQ(emit(out, v), 0);
  EXPECT_NE(xvputt(v), 0);
  EXPECT_NE(log_text().find("The data set WORK.d was not written: the file " + (dir_ / "d.meta.json").string() +
                            " cannot be opened for writing: Is a directory"),
            std::string::npos)
      << log_text();
  EXPECT_EQ(files(), (std::vector<std::string>{"d.meta.json"}));
}

// An output data set `name` of one variable x = 7 with its one row
// written, not yet terminated.
XV_VECTOR* one_row_output(const char* name) {
  XO_FILE* out = platform::Host::current().datasets().open_output(name);
  XV_VECTOR* v = nullptr;
  xvputi(out, 1, 0, &v);
  static double x = 7;
  define_number(v, "x", &x);
  xvpute(v);
  emit(out, v);
  return v;
}

// A step that ends without terminating its output data set writes nothing.
void step_that_forgets_xvputt() {
  one_row_output("left");
  xexit(1016, 0);
}

TEST_F(OutputTest, AStepEndedBeforeXvputtLeavesNoFile) {
  EXPECT_EQ(run_as_step(&step_that_forgets_xvputt), 1016);
  EXPECT_TRUE(files().empty()) << files().front();
}

// Rows that fail part-way (here: the file-size limit) leave the previous
// version of the data set untouched and no temporary file behind.
int g_failed_rows = 0;
void step_that_runs_out_of_room() {
  XO_FILE* out = platform::Host::current().datasets().open_output("big");
  XV_VECTOR* v = nullptr;
  xvputi(out, 1, 0, &v);
  static double x = 0;
  define_number(v, "x", &x);
  xvpute(v);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 1 << 16;
  auto previous = std::signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &small);
  g_failed_rows = 0;
  for (int i = 0; i < 120000; ++i) {
    x = 1.0 / (i + 3);
    xyvput(v, nullptr);
    XO_PARMS p{};
    p.file = out;
    if (int rc = out->write(&p)) {
      ++g_failed_rows;
      xofprc(&p, rc, 4);
    }
  }
  int rc = xvputt(v);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previous);
  xexit(rc == 0 ? 0 : 4, 0);
}

TEST_F(OutputTest, AWriteThatFailsPartWayKeepsTheOldFileAndFailsTheStep) {
  write_file("big.csv", "x\n42\n");
  EXPECT_EQ(run_as_step(&step_that_runs_out_of_room), 1016);
  EXPECT_GT(g_failed_rows, 1);
  EXPECT_EQ(read_file("big.csv"), "x\n42\n");
  EXPECT_EQ(files(), (std::vector<std::string>{"big.csv"}));
  // Said once, and with no row: the row at which the file gave out is no cause.
  const std::string log = log_text();
  EXPECT_EQ(log.find("Observation "), std::string::npos) << log;
  const auto first = log.find("ERROR: The data set WORK.big was not written: writing ");
  ASSERT_NE(first, std::string::npos) << log;
  EXPECT_EQ(log.find("WORK.big", first + 30), std::string::npos) << log;
}

// A step that completes a data set and then fails, for whatever cause,
// writes none: the earlier file stays as it was, and nothing is left beside.
void step_that_fails_after_xvputt() {
  if (xvputt(one_row_output("kept")) == 0) xexit(1012, 0);
}

TEST_F(OutputTest, AStepThatFailsAfterCompletingADataSetWritesNone) {
  write_file("kept.csv", "x\n42\n");
  EXPECT_EQ(run_as_step(&step_that_fails_after_xvputt), 1012);
  EXPECT_EQ(read_file("kept.csv"), "x\n42\n");
  EXPECT_EQ(files(), (std::vector<std::string>{"kept.csv"}));
  EXPECT_NE(log_text().find("ERROR: The data set WORK.kept was not written because the step failed."),
            std::string::npos)
      << log_text();
}

// Writes data set `name` with one variable x and the given rows.
void write_rows(XO_FILE* out, std::initializer_list<double> rows, const char* label = "") {
  XV_VECTOR* v = nullptr;
  double x = 0;
  ASSERT_EQ(xvputi(out, 1, 0, &v), 0);
  ASSERT_EQ(define_number(v, "x", &x, label), 0);
  ASSERT_EQ(xvpute(v), 0);
  for (double row : rows) {
    x = row;
    ASSERT_EQ(emit(out, v), 0);
  }
  ASSERT_EQ(xvputt(v), 0);
}

// A step's data sets are put in place under their folders' locks, all
// taken first: a folder named twice, once through a link, is locked once,
// for a second lock of it would wait for the first for ever.
TEST_F(OutputTest, AFolderNamedTwiceIsLockedOnceForAStepsDataSets) {
  std::filesystem::create_directory_symlink(dir_, dir_ / "again");
  ASSERT_TRUE(host().libraries().define("L", dir_ / "again"));
  write_rows(host().datasets().open_output("a"), {1});
  write_rows(host().datasets().open_output("L.b"), {2});
  host().datasets().end_outputs(false);
  EXPECT_EQ(read_file("a.csv") + read_file("b.csv"), "x\n1\nx\n2\n");
}

// A data set written through a link goes with its description to the
// link's target, and is read back from there whole.
TEST_F(OutputTest, ALinkedFileIsWrittenWithItsDescriptionBesideTheTarget) {
  std::filesystem::create_directories(dir_ / "L");
  std::filesystem::create_directories(dir_ / "real");
  write_file("real/target.csv", "x,y\n1,2\n");
  write_file("real/target.meta.json", R"({"variables": [{"name": "y", "label": "old"}]})");
  std::filesystem::create_symlink("../real/target.csv", dir_ / "L" / "out.csv");
  ASSERT_TRUE(host().libraries().define("L", dir_ / "L"));
  write_rows(host().datasets().open_output("L.out"), {3}, "new");
  host().datasets().end_outputs(false);
  EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "L" / "out.csv"));
  EXPECT_FALSE(exists("L/out.meta.json"));
  EXPECT_EQ(read_file("real/target.csv"), "x\n3\n");
  EXPECT_EQ(nlohmann::json::parse(read_file("real/target.meta.json"))["variables"][0]["label"], "new");
  XO_FILE* in = open("L.out");
  ASSERT_NE(in, nullptr) << log_text();
  int varnum = 0;
  ASSERT_EQ(xvfind(in, "x", 1, &varnum, 0), 0);
  NAMESTR d{};
  ASSERT_EQ(xvname(in, varnum, &d), 0);
  EXPECT_EQ(std::string(d.label, static_cast<std::size_t>(d.labellen)), "new");
}

// A label is cut to 256 bytes at the start of a character: the description
// holds a whole character less, never a replacement character.
TEST_F(OutputTest, ALongLabelIsCutBetweenCharacters) {
  const std::string label = std::string(255, 'a') + "\xC3\xA9" + "tail";  // 'é' spans bytes 256 and 257
  write_rows(host().datasets().open_output("lab"), {1}, label.c_str());
  host().datasets().end_outputs(false);
  const auto doc = nlohmann::json::parse(read_file("lab.meta.json"));
  EXPECT_EQ(doc["variables"][0]["label"], std::string(255, 'a'));
}

// The two files of a data set are renamed under the folder's lock, and
// read under it: while another process holds it, a reader waits, and then
// sees the pair that was put in place under the lock whole; a writer waits
// while a reader holds it.
class FolderHolder {
 public:
  FolderHolder(const std::filesystem::path& folder, int how) : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY)) {
    EXPECT_EQ(::flock(fd_, how), 0);
  }
  ~FolderHolder() { release(); }
  void release() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

TEST_F(OutputTest, AReaderAndAWriterWaitForTheFoldersLock) {
  write_file("p.csv", "x\n1\n");
  write_file("p.meta.json", R"({"label": "first"})");
  std::atomic<bool> done{false};
  std::shared_ptr<const platform::ds::Table> table;
  FolderHolder writer(dir_, LOCK_EX);
  std::thread reader([&] {
    platform::ds::Problem problem;
    table = platform::ds::load_table("WORK.p", dir_ / "p.csv", &problem);
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(done) << "read while the pair was being replaced";
  write_file("p.csv", "x,y\n1,2\n");
  write_file("p.meta.json", R"({"label": "second", "variables": [{"name": "y"}]})");
  writer.release();
  reader.join();
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->label, "second");

  XO_FILE* out = host().datasets().open_output("q");
  write_rows(out, {5});
  FolderHolder reading(dir_, LOCK_SH);
  std::thread publisher([&] { host().datasets().end_outputs(false); });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(exists("q.csv")) << "written while a reader held the folder";
  reading.release();
  publisher.join();
  EXPECT_EQ(read_file("q.csv"), "x\n5\n");
}

}  // namespace
