// Input data sets from CSV files: types, lengths, missing values, the
// description file, name resolution, the messages for bad files, and a
// data set read from a pipe.
#include <gtest/gtest.h>

#include <bit>
#include <chrono>
#include <cmath>
#include <cstring>

#include <limits.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "dataset_fixture.h"
#include "host/missing.h"
#include "platform/datasets/sidecar.h"
#include "platform/datasets/table_loader.h"

namespace {

using InputTest = DataSetTest;

NAMESTR describe(XO_FILE* f, const char* name) {
  int varnum = 0;
  EXPECT_EQ(xvfind(f, name, static_cast<int>(std::strlen(name)), &varnum, 0), 0) << name;
  NAMESTR d{};
  EXPECT_EQ(xvname(f, varnum, &d), 0);
  return d;
}

TEST_F(InputTest, ColumnTypesLengthsAndMissingValues) {
  write_file("t.csv",
             "x,name,y,z,code,w\n"
             "1.5,abc,.,.A,7,NA\n"
             "-2,\"he said \"\"hi\"\", twice\",,._,x,NaN\n"
             "+3e2,\"two\nlines\",4, .z ,,1\n");
  XO_FILE* f = open("t");
  ASSERT_NE(f, nullptr) << log_text();
  int count = 0;
  EXPECT_EQ(xvallvr(f, &count), 0);
  EXPECT_EQ(count, 6);
  NAMESTR name = describe(f, "NAME");  // names match without regard to case
  EXPECT_EQ(name.type, kCharacter);
  EXPECT_EQ(name.length, 19);  // he said "hi", twice
  EXPECT_EQ(std::string(name.name, name.namelen), "name");
  EXPECT_EQ(describe(f, "code").type, kCharacter);
  EXPECT_EQ(describe(f, "code").length, 1);
  for (const char* n : {"x", "y", "z", "w"}) EXPECT_EQ(describe(f, n).type, kNumeric) << n;  // NA, NaN: missing

  double x = 0, y = 0, z = 0;
  char text[24];
  XV_VECTOR* v = nullptr;
  ASSERT_EQ(xvgeti(f, 2, &v), 0);
  int nx, nn, ny, nz;
  xvfind(f, "x", 1, &nx, 0);
  xvfind(f, "name", 4, &nn, 0);
  xvfind(f, "y", 1, &ny, 0);
  xvfind(f, "z", 1, &nz, 0);
  ASSERT_EQ(xvgetd(v, nx, 0, &x, 8, 8, 0, 0), 0);
  ASSERT_EQ(xvgetd(v, nn, 0, text, sizeof text, 8, 0, 0), 0);
  ASSERT_EQ(xvgetd(v, ny, 0, &y, 8, 8, 0, 0), 0);
  ASSERT_EQ(xvgetd(v, nz, 0, &z, 8, 8, 0, 0), 0);
  ASSERT_EQ(xvgete(v), 0);
  ASSERT_EQ(xbynext(f), 1);
  XO_PARMS p{};
  p.file = f;
  auto bits = [](double d) { return std::bit_cast<std::uint64_t>(d); };

  ASSERT_EQ(xybyget(&p), 0);
  ASSERT_EQ(xyvget(v, 0), 0);
  EXPECT_EQ(x, 1.5);
  EXPECT_EQ(std::string(text, 24), "abc" + std::string(21, ' '));
  EXPECT_EQ(bits(y), kMissingBits);
  EXPECT_EQ(bits(z), bits(letter_missing_value('A')));

  ASSERT_EQ(xybyget(&p), 0);
  ASSERT_EQ(xyvget(v, 0), 0);
  EXPECT_EQ(x, -2.0);
  EXPECT_EQ(std::string(text, 19), "he said \"hi\", twice");
  EXPECT_EQ(bits(y), kMissingBits);
  EXPECT_EQ(bits(z), kMissingUnderscoreBits);

  ASSERT_EQ(xybyget(&p), 0);
  ASSERT_EQ(xyvget(v, 0), 0);
  EXPECT_EQ(x, 300.0);
  EXPECT_EQ(std::string(text, 9), "two\nlines");
  EXPECT_EQ(y, 4.0);
  EXPECT_EQ(bits(z), bits(letter_missing_value('Z')));

  ASSERT_EQ(xybyget(&p), 0);
  EXPECT_EQ(f->current, nullptr);
  EXPECT_EQ(xyvget(v, 0), kXoNoRecord);  // negative: ends a pass
}

TEST_F(InputTest, CrLfLinesAByteOrderMarkAndEmptyLastFields) {
  write_file("w.csv",
             "\xEF\xBB\xBF"
             "a,b,c\r\n1,,\r\n\r\n3,\"x\r\ny\",\r\n");  // b: an empty text value
  XO_FILE* f = open("w");
  ASSERT_NE(f, nullptr) << log_text();
  EXPECT_EQ(describe(f, "a").type, kNumeric);
  EXPECT_EQ(describe(f, "b").type, kCharacter);  // "2" and "x\r\ny"
  EXPECT_EQ(describe(f, "b").length, 4);
  EXPECT_EQ(describe(f, "c").type, kNumeric);  // empty: missing
  int rows = 0;
  XO_PARMS p{};
  p.file = f;
  xopnt(&p);
  while (xoget(&p) == 0) ++rows;
  EXPECT_EQ(rows, 2);
}

// Records of plain numbers are read by a shorter way than other records;
// both must give what the cell rules give, whichever comes first.
TEST_F(InputTest, PlainNumberRecordsReadAsEveryOtherRecord) {
  write_file("m.csv",
             "a,b,c\n"
             "1.,-.5,2e-3\n"
             "1e-400,3,4\r\n"     // an underflow reads as zero
             "5,6,0x10\r"          // a lone CR ends a record; 0x10 is text
             "-0,+7, 8 \n"
             "9,10,123456789012\n");
  XO_FILE* f = open("m");
  ASSERT_NE(f, nullptr) << log_text();
  EXPECT_EQ(describe(f, "a").type, kNumeric);
  EXPECT_EQ(describe(f, "b").type, kNumeric);
  EXPECT_EQ(describe(f, "c").type, kCharacter);
  EXPECT_EQ(describe(f, "c").length, 12);  // the longest cell, numbers included
  std::vector<double> cells;
  XV_VECTOR* v = bind_numbers(f, {"a", "b"}, &cells);
  ASSERT_NE(v, nullptr);
  ASSERT_EQ(xbynext(f), 1);
  const std::vector<std::vector<double>> expected = {{1, -0.5}, {0, 3}, {5, 6}, {-0.0, 7}, {9, 10}};
  const auto rows = read_group(f, v, cells);
  ASSERT_EQ(rows.size(), expected.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i], expected[i]) << i;
    EXPECT_EQ(std::signbit(rows[i][0]), std::signbit(expected[i][0])) << i;
  }
}

TEST_F(InputTest, DescriptionFixesTypesLengthsAndLabels) {
  write_file("d.csv", "id,dose\n001,1\n002,2.5\n");
  write_file("d.meta.json",
             R"json({"type": "DATA", "label": "Doses given",
                 "variables": [{"name": "ID", "type": "character", "length": 6,
                                "label": "Subject"},
                               {"name": "dose", "label": "Dose (mg)"}]})json");
  XO_FILE* f = open("d");
  ASSERT_NE(f, nullptr) << log_text();
  NAMESTR id = describe(f, "id");
  EXPECT_EQ(id.type, kCharacter);
  EXPECT_EQ(id.length, 6);
  EXPECT_EQ(std::string(id.label, id.labellen), "Subject");
  NAMESTR dose = describe(f, "dose");
  EXPECT_EQ(dose.type, kNumeric);
  EXPECT_EQ(std::string(dose.label, dose.labellen), "Dose (mg)");
  char type[8];
  XO_LABEL label{};
  EXPECT_EQ(xoinfo(f, 21, type), 0);
  EXPECT_EQ(std::string(type, 8), "DATA    ");
  EXPECT_EQ(xoinfo(f, 22, &label), 0);
  EXPECT_EQ(std::string(label.text, 11), "Doses given");
  int nvars = 0;
  EXPECT_EQ(xoinfo(f, 95, &nvars), 0);
  EXPECT_EQ(nvars, 2);
}

// A data set written back from what was read reads back the same: the
// writer leaves the label's trailing blanks out, so the reader must too.
TEST_F(InputTest, ADataSetLabelReadsBackAsItIsWrittenBack) {
  write_file("d.csv", "x\n1\n");
  write_file("d.meta.json", R"({"label": "Doses given  "})");
  platform::ds::Problem problem;
  const auto table = platform::ds::load_table("WORK.D", dir_ / "d.csv", &problem);
  ASSERT_NE(table, nullptr);
  platform::ds::Sidecar back;
  std::string why;
  ASSERT_TRUE(platform::ds::parse_sidecar(
      platform::ds::sidecar_text(table->variables, table->type, table->label), &back, &why));
  EXPECT_EQ(back.label, table->label);
}

TEST_F(InputTest, NamesResolveInLibrariesWithoutRegardToCase) {
  write_file("Growth.CSV", "x\n1\n");
  EXPECT_NE(open("growth"), nullptr);
  EXPECT_NE(open("GROWTH"), nullptr);
  std::filesystem::create_directory(dir_ / "other");
  std::ofstream(dir_ / "other" / "b.csv") << "y\n2\n";
  ASSERT_TRUE(host().libraries().define("lab", dir_ / "other"));
  XO_FILE* f = open("LAB.b");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(platform::DataSets::name_of(f), "LAB.b");

  // Two files for one name: neither is taken.
  write_file("growth.csv", "x\n2\n");
  EXPECT_EQ(open("growth"), nullptr);
  EXPECT_NE(log_text().find("ERROR: The data set WORK.growth matches more than one file, whose names "
                            "differ only in case: " +
                            (dir_ / "Growth.CSV").string() + " and " + (dir_ / "growth.csv").string()),
            std::string::npos)
      << log_text();
  EXPECT_EQ(open("absent"), nullptr);
  EXPECT_NE(log_text().find("ERROR: The data set WORK.absent does not exist"), std::string::npos);
  EXPECT_EQ(open("nolib.x"), nullptr);
  EXPECT_NE(log_text().find("The library NOLIB is not defined"), std::string::npos);
  EXPECT_EQ(open("9x"), nullptr);
  EXPECT_NE(log_text().find("The data set name \"9x\" is not valid"), std::string::npos);
}

// A name longer than the system's longest path is looked at name by name,
// as outputs are, so a data set there is read, not said not to exist (here
// a short folder named the long way).
TEST_F(InputTest, ADataSetBeyondTheLongestPathIsRead) {
  write_file("far.csv", "x\n1\n");
  std::string far = dir_.string();
  while (far.size() <= PATH_MAX) far += "/.";
  ASSERT_TRUE(host().libraries().define("far", far));
  EXPECT_NE(open("far.far"), nullptr) << log_text();
}

TEST_F(InputTest, AFileIsLoadedOncePerStep) {
  write_file("s.csv", "x\n1\n2\n");
  XO_FILE* a = open("s");
  XO_FILE* b = open("s");
  ASSERT_NE(a, b);
  XO_PARMS pa{}, pb{};
  pa.file = a;
  pb.file = b;
  ASSERT_EQ(xopnt(&pa), 0);
  ASSERT_EQ(xopnt(&pb), 0);
  ASSERT_EQ(xoget(&pa), 0);
  ASSERT_EQ(xoget(&pb), 0);
  EXPECT_EQ(pa.record, pb.record);  // one copy of the records, two positions
  ASSERT_EQ(xoget(&pa), 0);
  EXPECT_NE(pa.record, pb.record);
  EXPECT_EQ(xoget(&pa), kXoEnd);
}

struct BadFile {
  const char* text;
  const char* message;
};

TEST_F(InputTest, MalformedFilesGiveTheirMessageAndNoDataSet) {
  const BadFile cases[] = {
      {"a,b,c\n1,2,3\n4,5\n", "Line 3 of %f has 2 fields; the header line has 3."},
      {"a,b\n1,\"open\n2,3\n", "Line 2 of %f: a quoted field is not closed."},
      {"a,b\n\"x\"y,1\n", "Line 2 of %f: a closing quote must be followed by a comma"},
      {"a,b\n1,ab\"c\n", "Line 2 of %f: a field that holds a quote must be enclosed in quotes"},
      {"", "The data set file %f is empty"},
      {"a,b c\n1,2\n", "Line 1 of %f: \"b c\" is not a valid variable name"},
      {"a,A\n1,2\n", "Line 1 of %f: the variable A is named twice."},
      {"a\n1\n1e999\n", "Line 3 of %f: the value 1e999 of a is too large for a number."},
  };
  for (const BadFile& c : cases) {
    log_.str("");
    write_file("bad.csv", c.text);
    EXPECT_EQ(open("bad"), nullptr) << c.text;
    std::string expected = c.message;
    expected.replace(expected.find("%f"), 2, (dir_ / "bad.csv").string());
    EXPECT_NE(log_text().find("ERROR: " + expected), std::string::npos) << c.text << "\n"
                                                                        << log_text();
  }
  std::filesystem::create_directory(dir_ / "folder.csv");
  EXPECT_EQ(open("folder"), nullptr);
  EXPECT_NE(log_text().find("The data set WORK.folder cannot be read from " +
                            (dir_ / "folder.csv").string() + ": it is a folder."),
            std::string::npos);
}

TEST_F(InputTest, DescriptionsThatDoNotFitTheDataAreErrors) {
  write_file("q.csv", "a,b\n1,xyz\n");
  write_file("q.meta.json", R"({"variables": [{"name": "a", "type": "number"}]})");
  EXPECT_EQ(open("q"), nullptr);
  EXPECT_NE(log_text().find("must be \"numeric\" or \"character\""), std::string::npos);
  write_file("q.meta.json", R"({"variables": [{"name": "b", "type": "numeric"}]})");
  EXPECT_EQ(open("q"), nullptr);
  EXPECT_NE(log_text().find("Line 2 of " + (dir_ / "q.csv").string() +
                            ": the value \"xyz\" of the numeric variable b is not a number."),
            std::string::npos);
  write_file("q.meta.json", R"({"variables": [{"name": "b", "length": 2}]})");
  EXPECT_EQ(open("q"), nullptr);
  EXPECT_NE(log_text().find("the value of b is 3 characters long, more than its length 2"),
            std::string::npos);
  write_file("q.meta.json", R"({"variables": [{"name": "c"}]})");
  EXPECT_EQ(open("q"), nullptr);
  EXPECT_NE(log_text().find("names the variable c, which is not in"), std::string::npos);
  const std::pair<const char*, const char*> broken[] = {
      {"{\"type\": ", "[json.exception"},  // the parser's code is not shown
      {R"({"variables": [{"name": "b"}, {"name": "B"}]})", "it describes the variable B twice"},
      {"{\"type\": 1e999}", ""},
      {"[1]", "it must be a JSON object"},
      {R"({"label": 5})", "\"label\" must be a text"},
      {R"({"variables": {}})", "\"variables\" must be a list"},
      {R"({"variables": [{"label": "x"}]})", "each entry of \"variables\" needs a \"name\""},
      {R"({"variables": [{"name": "b", "type": 2}]})", "\"type\" must be a text"},
      {R"({"variables": [{"name": "b", "length": 0}]})", "the length of b must be a whole number from 1 to 32767"}};
  for (const auto& [text, why] : broken) {
    log_.str("");
    write_file("q.meta.json", text);
    EXPECT_EQ(open("q"), nullptr);
    if (std::string(why).starts_with("[json"))
      EXPECT_EQ(log_text().find(why), std::string::npos) << log_text();
    else
      EXPECT_NE(log_text().find(std::string("q.meta.json is not valid: ") + why), std::string::npos) << text;
  }
}

// A last line without its line end is read like any other, also when it
// ends with a comma.
TEST_F(InputTest, TheLastRecordNeedsNoLineEnd) {
  int k = 0;
  for (const char* text : {"a,b\n1,2", "a,b\n1,", "a,b,c\n1,\"x\","}) {
    const std::string name = "e" + std::to_string(k++);  // a file is read once a step
    write_file(name + ".csv", text);
    XO_FILE* f = open(name);
    ASSERT_NE(f, nullptr) << text << log_text();
    std::vector<double> cells;
    XV_VECTOR* v = bind_numbers(f, {"a"}, &cells);
    ASSERT_EQ(xbynext(f), 1);
    EXPECT_EQ(read_group(f, v, cells), (std::vector<std::vector<double>>{{1}})) << text;
  }
}

// A line of only blanks and tabs, as an editor may leave last, is no record,
// wherever it stands; a line with a blank field among others is one.
TEST_F(InputTest, LinesOfOnlyBlanksAreSkippedLikeEmptyLines) {
  write_file("s.csv", "a,b\n1,2\n \t \n3,4\n\t\n  ");
  XO_FILE* f = open("s");
  ASSERT_NE(f, nullptr) << log_text();
  std::vector<double> cells;
  XV_VECTOR* v = bind_numbers(f, {"a", "b"}, &cells);
  ASSERT_EQ(xbynext(f), 1);
  EXPECT_EQ(read_group(f, v, cells), (std::vector<std::vector<double>>{{1, 2}, {3, 4}}));
  write_file("t.csv", "t\nx\n \n");  // a lone blank field would need quotes to be a record
  XO_FILE* t = open("t");
  ASSERT_NE(t, nullptr) << log_text();
  XO_PARMS p{};
  p.file = t;
  xopnt(&p);
  int rows = 0;
  while (xoget(&p) == 0) ++rows;
  EXPECT_EQ(rows, 1);
}

// A description older than its data was not written with them (another
// tool rewrote the file): the data set is read as described, with a NOTE.
TEST_F(InputTest, ADescriptionOlderThanItsDataIsNoted) {
  write_file("n.csv", "x\n1\n");
  write_file("n.meta.json", R"({"variables": [{"name": "x", "label": "Dose"}]})");
  write_file("m.csv", "x\n1\n");
  write_file("m.meta.json", R"({"variables": [{"name": "x", "label": "Dose"}]})");
  const auto now = std::filesystem::last_write_time(dir_ / "n.csv");
  std::filesystem::last_write_time(dir_ / "n.meta.json", now - std::chrono::seconds(10));
  ASSERT_NE(open("m"), nullptr);
  EXPECT_EQ(log_text().find("NOTE: The description"), std::string::npos) << log_text();
  ASSERT_NE(open("n"), nullptr);
  EXPECT_NE(log_text().find("NOTE: The description " + (dir_ / "n.meta.json").string() +
                            " is older than the data set file " + (dir_ / "n.csv").string()),
            std::string::npos)
      << log_text();
}

// The read operation of an input data set does what the services do; it
// refuses writing and requests it does not know.
TEST_F(InputTest, AnInputDataSetRefusesWhatItCannotDo) {
  write_file("r.csv", "a\n1\n");
  XO_FILE* in = open("r");
  ASSERT_NE(in, nullptr);
  XO_PARMS p{};
  p.file = in;
  EXPECT_EQ(in->write(&p), kXoNotOutput);
  EXPECT_TRUE(p.flags & kXoFailed);
  p = XO_PARMS{};
  p.file = in;
  p.opcode = 99;
  EXPECT_EQ(in->read(&p), kXoBadRequest);
  EXPECT_TRUE(p.flags & kXoFailed);
  XO_FILE* out = host().datasets().open_output("w");
  ASSERT_NE(out, nullptr);
  p = XO_PARMS{};
  p.file = out;
  p.opcode = kXoNext;
  EXPECT_EQ(in->read(&p), kXoNotInput);  // another data set's request
  EXPECT_EQ(out->read(&p), kXoNotInput);
  EXPECT_EQ(out->write(&p), kXoBadState);  // no variables yet
  p.file = in;
  EXPECT_EQ(out->write(&p), kXoNotOutput);
}

}  // namespace

namespace {

// A data set that comes through a pipe (a FIFO where the file would be) has
// no size to map: it is read to its end in many reads and gives the table
// the same bytes in a file give, and an empty one the same message.
TEST(PipedDataSet, ReadsLikeTheSameBytesInAFile) {
  namespace fs = std::filesystem;
  std::string pattern = (fs::temp_directory_path() / "ruva-pipe-XXXXXX").string();
  const fs::path dir = mkdtemp(pattern.data());
  std::string text = "x,name\n";
  for (int i = 0; i < 20000; ++i) text += std::to_string(i * 0.5) + ",abc" + std::to_string(i % 97) + "\n";
  for (const std::string& bytes : {text, std::string()}) {
    std::ofstream(dir / "file.csv", std::ios::binary) << bytes;
    const fs::path fifo = dir / "pipe.csv";
    fs::remove(fifo);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&] { std::ofstream(fifo, std::ios::binary) << bytes; });
    platform::ds::Problem piped_problem, file_problem;
    const auto piped = platform::ds::load_table("WORK.pipe", fifo, &piped_problem);
    writer.join();
    const auto file = platform::ds::load_table("WORK.file", dir / "file.csv", &file_problem);
    EXPECT_EQ(piped_problem.number, file_problem.number);
    ASSERT_EQ(piped != nullptr, file != nullptr);
    if (!file) continue;
    EXPECT_EQ(piped->rows, 20000);
    EXPECT_EQ(piped->rows, file->rows);
    ASSERT_EQ(piped->variables.size(), 2u);
    EXPECT_EQ(piped->variables[1].type, file->variables[1].type);
    EXPECT_EQ(piped->storage, file->storage);
  }
  fs::remove_all(dir);
}

// A file that cannot be opened says why; one that cannot be mapped (a file
// of the kernel's, with only a nominal size) is read like a pipe.
TEST(PipedDataSet, FilesThatCannotBeMappedAreReadAndOthersSayWhyNot) {
  platform::ds::Problem problem;
  EXPECT_EQ(platform::ds::load_table("WORK.none", "/no/such/folder/none.csv", &problem), nullptr);
  EXPECT_EQ(problem.number, platform::ds::msg::kCannotRead);
  EXPECT_EQ(problem.inserts.back(), "No such file or directory");
  const std::filesystem::path kernel_file = "/sys/devices/system/cpu/online";  // "0-7" or so
  if (!std::filesystem::exists(kernel_file)) GTEST_SKIP() << "no " << kernel_file;
  problem = {};
  EXPECT_EQ(platform::ds::load_table("WORK.online", kernel_file, &problem), nullptr);
  EXPECT_EQ(problem.number, platform::ds::msg::kBadColumnName);  // its text was read
}

}  // namespace
