// Every program of examples/ runs as the guide says, and its listing, log
// and data sets match those stored in examples/expected/; the programs and
// outputs that docs/guide.md quotes are the examples' own. So neither the
// examples nor the guide can drift from what the program does.
//
// After a change that alters an example's output on purpose, rewrite the
// stored files from this build with
//     RUVA_UPDATE_EXAMPLES=1 build/test_app --gtest_filter='Examples*'
// and bring the guide's quotes in line (the guide test names any that
// no longer match).
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kSource = RUVA_SOURCE_DIR;
const fs::path kExamples = kSource / "examples";
const fs::path kExpected = kExamples / "expected";

// Command-line options an example needs beyond --work (the guide shows the
// same command).
const std::map<std::string, std::string> kExtraOptions = {{"graphs", "--html graphs.html --graphs graphs"}};

bool updating() {
  const char* v = std::getenv("RUVA_UPDATE_EXAMPLES");
  return v && *v && std::string(v) != "0";
}

std::string read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

std::vector<std::string> tokens_of(const std::string& line, char separator) {
  std::vector<std::string> out;
  std::string token;
  std::istringstream in(line);
  if (separator == ' ') {
    while (in >> token) out.push_back(token);
  } else {
    while (std::getline(in, token, separator)) out.push_back(token);
  }
  return out;
}

std::vector<std::string> example_names() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(kExamples))
    if (entry.path().extension() == ".ruva") names.push_back(entry.path().stem().string());
  std::sort(names.begin(), names.end());
  return names;
}

bool parse_number(const std::string& s, double* v) {
  if (s.empty()) return false;
  char* end = nullptr;
  *v = std::strtod(s.c_str(), &end);
  return end == s.c_str() + s.size() && std::isfinite(*v);
}

// One unit in the last printed place of a number written with a decimal
// point ("0.0123" 1e-4, "1.61E-06" 1e-8); 0 for an integer, which must
// match exactly (counts, degrees of freedom).
double last_place(const std::string& s) {
  const std::size_t point = s.find('.');
  if (point == std::string::npos) return 0;
  std::size_t e = s.find_first_of("eE");
  const std::size_t digits_end = e == std::string::npos ? s.size() : e;
  double unit = std::pow(10.0, -static_cast<double>(digits_end - point - 1));
  if (e != std::string::npos) unit *= std::pow(10.0, std::strtod(s.c_str() + e + 1, nullptr));
  return unit;
}

// Two printed numbers agree when they differ by at most a unit in the last
// place shown (a rounding that fell the other way), or, in full-precision
// data sets, by a relative 1e-7.
bool numbers_agree(const std::string& a, const std::string& b, bool full_precision) {
  double x, y;
  if (!parse_number(a, &x) || !parse_number(b, &y)) return false;
  const double diff = std::fabs(x - y);
  if (full_precision) return diff <= 1e-7 * std::max(std::fabs(x), std::fabs(y)) + 1e-12;
  const double unit = std::max(last_place(a), last_place(b));
  return unit > 0 && diff <= unit * 1.000001;
}

// A line of an SVG picture as its numbers and the text between them, so
// that a coordinate may differ in its last place and nothing else may.
std::vector<std::string> svg_tokens(const std::string& line) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < line.size();) {
    std::size_t j = i;
    const bool number = std::isdigit(static_cast<unsigned char>(line[i])) ||
                        (line[i] == '-' && i + 1 < line.size() && std::isdigit(static_cast<unsigned char>(line[i + 1])));
    if (number) {
      ++j;
      while (j < line.size() && (std::isdigit(static_cast<unsigned char>(line[j])) || line[j] == '.')) ++j;
    } else {
      while (j < line.size() && !std::isdigit(static_cast<unsigned char>(line[j])) && line[j] != '-') ++j;
      if (j == i) ++j;
    }
    out.push_back(line.substr(i, j - i));
    i = j;
  }
  return out;
}

enum class TextKind { Listing, DataSet, Picture };

// Compares a produced text with the stored one line by line; a listing's
// fields are split at blanks, a data set's at commas, a picture's around
// its numbers. Empty when they agree, else where and how they part.
std::string compare_text(const std::string& expected, const std::string& actual, TextKind kind) {
  const std::vector<std::string> e = lines_of(expected), a = lines_of(actual);
  auto tokens = [kind](const std::string& line) {
    return kind == TextKind::Picture ? svg_tokens(line) : tokens_of(line, kind == TextKind::DataSet ? ',' : ' ');
  };
  for (std::size_t i = 0; i < std::max(e.size(), a.size()); ++i) {
    const std::string want = i < e.size() ? e[i] : "<end>";
    const std::string got = i < a.size() ? a[i] : "<end>";
    if (want == got) continue;
    const std::vector<std::string> tw = tokens(want), tg = tokens(got);
    bool same = tw.size() == tg.size() && i < e.size() && i < a.size();
    for (std::size_t k = 0; same && k < tw.size(); ++k)
      same = tw[k] == tg[k] || numbers_agree(tw[k], tg[k], kind == TextKind::DataSet);
    if (!same) return "line " + std::to_string(i + 1) + "\n  expected: " + want + "\n  produced: " + got;
  }
  return "";
}

// The stored file for a produced one: rewritten when updating, else
// compared.
void check_against_stored(const fs::path& stored, const std::string& produced, TextKind kind) {
  if (updating()) {
    fs::create_directories(stored.parent_path());
    std::ofstream(stored, std::ios::binary) << produced;
    return;
  }
  ASSERT_TRUE(fs::exists(stored)) << stored << " is missing; see the head of this test to make it";
  const std::string why = compare_text(read_file(stored), produced, kind);
  EXPECT_TRUE(why.empty()) << stored << " differs at " << why;
}

std::vector<std::string> file_names(const fs::path& dir) {
  std::vector<std::string> names;
  if (fs::is_directory(dir))
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The graphs drawn are those stored (the guide shows them), drawn alike to
// a hundredth of a pixel.
void check_graph_files(const fs::path& drawn, const fs::path& stored) {
  if (updating()) fs::remove_all(stored);
  else EXPECT_EQ(file_names(drawn), file_names(stored)) << "the graphs drawn are not those in " << stored;
  for (const std::string& f : file_names(drawn)) check_against_stored(stored / f, read_file(drawn / f), TextKind::Picture);
}

class Examples : public ::testing::TestWithParam<std::string> {
 protected:
  Examples() {
    dir_ = fs::temp_directory_path() / ("ruva_example_" + GetParam() + "_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "work");
  }
  ~Examples() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_P(Examples, ListingLogAndDataSetsAreThoseStored) {
  const std::string name = GetParam();
  std::vector<std::string> inputs;
  for (const auto& entry : fs::directory_iterator(kExamples))
    if (entry.path().extension() == ".csv") {
      fs::copy_file(entry.path(), dir_ / "work" / entry.path().filename());
      inputs.push_back(entry.path().filename().string());
    }
  const auto extra = kExtraOptions.find(name);
  const std::string command = "cd '" + dir_.string() + "' && '" + (fs::path(RUVA_BINARY_DIR) / "ruva").string() +
                              "' --work work " + (extra == kExtraOptions.end() ? "" : extra->second + " ") + "'" +
                              (kExamples / (name + ".ruva")).string() + "' >listing.txt 2>log.txt";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << read_file(dir_ / "log.txt");
  check_against_stored(kExpected / (name + ".lst"), read_file(dir_ / "listing.txt"), TextKind::Listing);
  check_against_stored(kExpected / (name + ".log"), read_file(dir_ / "log.txt"), TextKind::Listing);
  for (const auto& entry : fs::directory_iterator(dir_ / "work")) {
    const std::string file = entry.path().filename().string();
    if (entry.path().extension() != ".csv" || std::count(inputs.begin(), inputs.end(), file)) continue;
    check_against_stored(kExpected / name / file, read_file(entry.path()), TextKind::DataSet);
  }
  if (extra != kExtraOptions.end()) {
    const std::string report = read_file(dir_ / tokens_of(extra->second, ' ')[1]);
    EXPECT_NE(report.find("<svg"), std::string::npos) << "the report holds no graph";
    check_graph_files(dir_ / "graphs", kExpected / name / "graphs");
  }
}

INSTANTIATE_TEST_SUITE_P(All, Examples, ::testing::ValuesIn(example_names()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

// Each stored listing belongs to an example that still exists.
TEST(ExamplesGuide, NoStoredOutputWithoutItsExample) {
  const std::vector<std::string> names = example_names();
  for (const auto& entry : fs::directory_iterator(kExpected)) {
    const std::string stem = entry.path().stem().string();
    EXPECT_TRUE(std::count(names.begin(), names.end(), stem)) << entry.path() << " has no example";
  }
}

// The guide's quotes: a fenced block after "<!-- example NAME -->" is the
// whole program examples/NAME.ruva; after "<!-- listing NAME -->",
// "<!-- log NAME -->" or "<!-- data NAME/FILE -->" its lines (blanks at
// either end aside, "..." skipping) appear in that order in the stored
// output.
struct Quote {
  std::string kind, target;
  std::vector<std::string> lines;
  int line_number;
};

std::vector<Quote> guide_quotes() {
  const std::vector<std::string> lines = lines_of(read_file(kSource / "docs" / "guide.md"));
  std::vector<Quote> quotes;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::vector<std::string> t = tokens_of(lines[i], ' ');
    if (t.size() != 4 || t[0] != "<!--" || t[3] != "-->") continue;
    Quote q{t[1], t[2], {}, static_cast<int>(i + 1)};
    std::size_t k = i + 1;
    while (k < lines.size() && lines[k].rfind("```", 0) != 0) ++k;
    for (++k; k < lines.size() && lines[k].rfind("```", 0) != 0; ++k) q.lines.push_back(lines[k]);
    quotes.push_back(q);
  }
  return quotes;
}

std::string trimmed(const std::string& s) {
  const std::size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
  return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

// Empty when every quoted line is found in order, else the first that is not.
std::string find_in_order(const std::vector<std::string>& quoted, const std::string& text) {
  const std::vector<std::string> lines = lines_of(text);
  std::size_t at = 0;
  for (const std::string& q : quoted) {
    const std::string want = trimmed(q);
    if (want.empty() || want == "...") continue;
    while (at < lines.size() && trimmed(lines[at]) != want) ++at;
    if (at == lines.size()) return want;
    ++at;
  }
  return "";
}

TEST(ExamplesGuide, QuotesAreTheExamplesOwn) {
  const std::vector<Quote> quotes = guide_quotes();
  std::vector<std::string> shown;
  for (const Quote& q : quotes) {
    const std::string where = "docs/guide.md line " + std::to_string(q.line_number);
    std::string text;
    if (q.kind == "example") {
      std::string program;
      for (const std::string& l : q.lines) program += l + "\n";
      EXPECT_EQ(program, read_file(kExamples / (q.target + ".ruva"))) << where;
      shown.push_back(q.target);
      continue;
    }
    if (q.kind == "listing") text = read_file(kExpected / (q.target + ".lst"));
    else if (q.kind == "log") text = read_file(kExpected / (q.target + ".log"));
    else if (q.kind == "data") text = read_file(kExpected / (q.target + ".csv"));
    else ADD_FAILURE() << where << ": unknown quote kind " << q.kind;
    const std::string missing = find_in_order(q.lines, text);
    EXPECT_TRUE(missing.empty()) << where << " quotes a line not in " << q.target << ":\n  " << missing;
  }
  for (const std::string& name : example_names())
    EXPECT_TRUE(std::count(shown.begin(), shown.end(), name)) << "the guide does not show examples/" << name << ".ruva";
}

}  // namespace
