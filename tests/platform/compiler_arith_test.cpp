// Arithmetic of the model program: results against the same arithmetic in
// C++, missing values propagated and counted, failed operations turned into
// missing values and counted as errors at their line and column, the order
// of missing values in comparisons, and no floating-point trap ever.
#include <cfenv>
#include <cmath>

#include "platform/compiler/executor.h"
#include "platform/compiler/fp_guard.h"
#include "platform/compiler/compiler.h"
#include "platform/compiler_fixture.h"

namespace compiler_test {
namespace {

using std::string;

bool is_plain_missing(double v) { return std::bit_cast<std::uint64_t>(v) == kMissingBits; }

// The value of a numeric literal of the language: a number or a missing value.
double constant_value(const string& text) {
  if (text == ".") return missing_value();
  if (text == "._") return underscore_missing_value();
  if (text[0] == '.' && std::isalpha(static_cast<unsigned char>(text[1]))) return letter_missing_value(text[1]);
  return std::stod(text);
}

class Arith : public CompilerTest {};

TEST_F(Arith, ValuesAgreeWithTheSameArithmeticInCpp) {
  data_.variables = {numeric("a", 1), numeric("b", 2), numeric("c", 3)};
  ASSERT_TRUE(compile(
      "y = a*b + c/a - b**3;\n"
      "z = -a**2 + (a >< b) * (a <> c);\n"
      "w = exp(-b*a) * log(c) + sqrt(abs(a)) + int(c/b) + round(a, 0.25) + mod(c, b);\n"
      "m = min(a, b, c) + max(a, ., c) + sum(a, ., b) + mean(a, c) + n(a, ., .) + nmiss(a, ., .);\n"));
  start_pass();
  for (double a : {1.5, -2.25, 3.0}) {
    const double b = 0.75, c = 4.125;
    ASSERT_EQ(run({a, b, c}), 0);
    EXPECT_EQ(value("y"), a * b + c / a - std::pow(b, 3));
    EXPECT_EQ(value("z"), -(a * a) + std::min(a, b) * std::max(a, c));
    EXPECT_EQ(value("w"), std::exp(-b * a) * std::log(c) + std::sqrt(std::fabs(a)) +
                              std::trunc(c / b) + std::round(a / 0.25) * 0.25 + std::fmod(c, b));
    EXPECT_EQ(value("m"), std::min({a, b, c}) + std::max(a, c) + (a + b) + (a + c) / 2 + 1 + 2);
    EXPECT_EQ(nerr_, 0);
    EXPECT_EQ(nmiss_, 0);
  }
}

TEST_F(Arith, ProbabilityFunctionsAgreeWithClosedForms) {
  ASSERT_TRUE(compile(
      "p = probnorm(1.5); q = probit(p);\n"
      "d = pdf('normal', 0.5); c = cdf('Normal', 3, 1, 2);\n"
      "t = probt(1.5, 1); u = tinv(t, 1);\n"
      "f = probf(2.25, 1, 7); g = 2 * probt(1.5, 7) - 1;\n"
      "b = probbeta(0.3, 1, 2); e = erf(0.5) + erfc(0.5);\n"
      "l = lgamma(6) - log(120); h = digamma(1);\n"));
  start_pass();
  ASSERT_EQ(run(), 0);
  const double pi = 3.14159265358979323846;
  EXPECT_NEAR(value("p"), 0.5 * std::erfc(-1.5 / std::sqrt(2.0)), 1e-16);
  EXPECT_NEAR(value("q"), 1.5, 1e-14);
  EXPECT_NEAR(value("d"), std::exp(-0.125) / std::sqrt(2 * pi), 1e-16);
  EXPECT_NEAR(value("c"), 0.5 * std::erfc(-1 / std::sqrt(2.0)), 1e-15);  // (3 - 1) / 2 = 1
  EXPECT_NEAR(value("t"), 0.5 + std::atan(1.5) / pi, 1e-15);             // Cauchy
  EXPECT_NEAR(value("u"), 1.5, 1e-12);
  EXPECT_NEAR(value("f"), value("g"), 1e-13);                             // F(1, n) is t(n) squared
  EXPECT_NEAR(value("b"), 1 - 0.7 * 0.7, 1e-15);
  EXPECT_NEAR(value("e"), 1, 1e-16);
  EXPECT_NEAR(value("l"), 0, 1e-14);
  EXPECT_NEAR(value("h"), -0.57721566490153286, 1e-15);
}

TEST_F(Arith, MissingOperandsGiveMissingResultsAndAreCounted) {
  data_.variables = {numeric("a", 1), numeric("b", 2)};
  ASSERT_TRUE(compile("y = a + b;\nz = y * 2 - exp(b);\nq = a;\n"));
  start_pass();
  EXPECT_EQ(run({missing_value(), 1.0}), 0);
  EXPECT_TRUE(is_plain_missing(value("y")));
  EXPECT_TRUE(is_plain_missing(value("z")));
  EXPECT_EQ(nmiss_, 2);  // a + b, and y * 2 - exp(b) (one operation)
  EXPECT_EQ(nerr_, 0);
  // A special missing value is copied as it is but gives "." through arithmetic.
  EXPECT_EQ(run({letter_missing_value('A'), 1.0}), 0);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(value("q")), std::bit_cast<std::uint64_t>(letter_missing_value('A')));
  EXPECT_TRUE(is_plain_missing(value("y")));
}

TEST_F(Arith, FailedOperationsGiveMissingAndAnErrorAtTheirPlace) {
  data_.variables = {numeric("x", 1)};
  ASSERT_TRUE(compile(
      "d = 1 / x;\n"
      "l = log(x);\n"
      "s = sqrt(x - 1);\n"
      "e = exp(x * 1000);\n"
      "p = (x - 1) ** 0.5;\n"
      "o = 1e300 * (x + 1e300);\n"));
  start_pass();
  EXPECT_EQ(run({0.0}), 0);
  // 1/0, log(0), sqrt(-1), (-1)**0.5, 1e300*1e300 fail; exp(0) is fine.
  EXPECT_EQ(nerr_, 5);
  EXPECT_EQ(nmiss_, 0);
  for (const char* v : {"d", "l", "s", "p", "o"}) EXPECT_TRUE(is_plain_missing(value(v))) << v;
  EXPECT_EQ(value("e"), 1.0);
  cmpperr(2, 50, &cmp_);
  const string log = log_text();
  EXPECT_NE(log.find("Division by zero at line 1 column 5."), string::npos) << log;
  EXPECT_NE(log.find("Invalid argument to function LOG at line 2 column 5."), string::npos);
  EXPECT_NE(log.find("Invalid argument to function SQRT at line 3 column 5."), string::npos);
  EXPECT_NE(log.find("Invalid argument to the ** operator at line 5 column 6."), string::npos);
  EXPECT_NE(log.find("Arithmetic overflow at line 6 column 5."), string::npos);
  EXPECT_NE(log.find("x=0 d=. l=. s=. e=1 p=. o=."), string::npos) << log;
  // Overflow of exp.
  EXPECT_EQ(run({1.0}), 0);
  EXPECT_TRUE(is_plain_missing(value("e")));
  EXPECT_GE(nerr_, 1);
}

TEST_F(Arith, TheErrorReportStopsAtTheLinesAsked) {
  data_.variables = {numeric("x", 1)};
  ASSERT_TRUE(compile("a = 1/x; b = 2/x; c = 3/x;"));
  start_pass();
  run({0.0});
  cmpperr(2, 2, &cmp_);
  const string log = log_text();
  EXPECT_NE(log.find("line 1 column 5"), string::npos);
  EXPECT_NE(log.find("line 1 column 14"), string::npos);
  EXPECT_EQ(log.find("line 1 column 23"), string::npos);
  EXPECT_EQ(log.find("x=0"), string::npos);
  // Errors are kept only in a last pass; cmpexlg clears them.
  cmpexlg(&cmp_);
  run({0.0}, 0);
  EXPECT_EQ(nerr_, 3);
  cmpperr(2, 50, &cmp_);
  EXPECT_EQ(log_text(), log);
}

// The places of a note and the values of an error's observation fill lines
// of at most 100 characters, and the error report stops at the lines asked.
TEST_F(Arith, LongNotesAndValueListsWrapAtTheLineWidth) {
  data_.variables = {numeric("x", 1)};
  string program;
  for (int i = 1; i <= 30; ++i) program += "value_with_a_long_name_" + std::to_string(i) + " = x + " + std::to_string(i) + ";\n";
  program += "r = 1/x;\n";
  ASSERT_TRUE(compile(program));
  const auto lines_of = [](const string& text) {
    std::vector<string> out;
    for (std::size_t at = 0, eol; at < text.size(); at = eol + 1) out.push_back(text.substr(at, (eol = text.find('\n', at)) - at));
    return out;
  };
  start_pass();
  run({missing_value()});
  cmppmis(&cmp_);
  string shown;
  for (const string& line : lines_of(log_text())) {
    EXPECT_LE(line.size(), 100u) << line;
    shown += line + " ";
  }
  for (int i = 1; i <= 30; ++i) EXPECT_NE(shown.find(" 1 at " + std::to_string(i) + ":"), string::npos) << i;
  run({0.0});
  log_.str("");
  cmpperr(2, 50, &cmp_);
  const std::vector<string> all = lines_of(log_text());
  ASSERT_GT(all.size(), 3u);
  for (const string& line : all) EXPECT_LE(line.size(), 100u) << line;
  EXPECT_NE(log_text().find("value_with_a_long_name_30=30 r=."), string::npos) << log_text();
  log_.str("");
  cmpperr(2, 3, &cmp_);
  EXPECT_EQ(lines_of(log_text()).size(), 3u) << log_text();
}

TEST_F(Arith, PlacesOfGeneratedMissingValuesAreNotedAfterThePass) {
  data_.variables = {numeric("x", 1), numeric("y", 2)};
  ASSERT_TRUE(compile("a = x + y;\nb = 1 / y;\n"));
  start_pass();
  run({missing_value(), 1.0});
  run({missing_value(), 0.0});
  run({1.0, 0.0});
  cmppmis(&cmp_);
  const string log = log_text();
  EXPECT_NE(log.find("Missing values were generated as a result of performing an operation on missing values."),
            string::npos);
  EXPECT_NE(log.find("2 at 1:5"), string::npos) << log;
  EXPECT_NE(log.find("Mathematical operations could not be performed"), string::npos);
  EXPECT_NE(log.find("2 at 2:5"), string::npos) << log;
  // A new pass starts the counts again.
  start_pass();
  run({1.0, 1.0});
  const auto before = log_text().size();
  cmppmis(&cmp_);
  EXPECT_EQ(log_text().size(), before);
}

TEST_F(Arith, MissingComparesBelowEveryNumberAndByKind) {
  data_.variables = {numeric("x", 1), numeric("y", 2)};
  ASSERT_TRUE(compile(
      "lt = x < y; eq = x = y; ge = x >= y;\n"
      "if x < y then t = 1; else t = 0;\n"
      "mn = x >< y; mx = x <> y;\n"));
  struct Case {
    double x, y;
    double lt, eq;
  };
  const Case cases[] = {
      {missing_value(), -1e308, 1, 0},
      {missing_value(), missing_value(), 0, 1},
      {underscore_missing_value(), missing_value(), 1, 0},
      {missing_value(), letter_missing_value('A'), 1, 0},
      {letter_missing_value('Z'), letter_missing_value('B'), 0, 0},
      {2, 1, 0, 0},
  };
  start_pass();
  for (const Case& c : cases) {
    ASSERT_EQ(run({c.x, c.y}), 0);
    EXPECT_EQ(value("lt"), c.lt);
    EXPECT_EQ(value("eq"), c.eq);
    EXPECT_EQ(value("ge"), 1 - c.lt);
    EXPECT_EQ(value("t"), c.lt);
    const double low = c.lt || c.eq ? c.x : c.y;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(value("mn")), std::bit_cast<std::uint64_t>(low));
    EXPECT_EQ(nmiss_, 0);
  }
}

// Comparisons, logic and selections of constants are folded when the
// program is generated: every result must have the bits the same operators
// give at run time.
TEST_F(Arith, ConstantComparisonsLogicAndSelectionsFoldAsTheyRun) {
  const char* const operations =
      "lt = X < Y; le = X <= Y; eq = X = Y; ne = X ^= Y; gt = X > Y; ge = X >= Y;\n"
      "an = X and Y; o = X or Y; mn = X >< Y; mx = X <> Y; nt = not X;\n";
  const char* const results[] = {"lt", "le", "eq", "ne", "gt", "ge", "an", "o", "mn", "mx", "nt"};
  const auto with = [&](const string& x, const string& y) {
    string text = operations;
    for (std::size_t at; (at = text.find('X')) != string::npos;) text.replace(at, 1, "(" + x + ")");
    for (std::size_t at; (at = text.find('Y')) != string::npos;) text.replace(at, 1, "(" + y + ")");
    return text;
  };
  const std::pair<const char*, const char*> cases[] = {
      {".", "-1e308"}, {"._", "."}, {".", ".A"}, {".Z", ".B"}, {"2", "1"}, {"0", "3"}, {"-0.5", "-0.5"}};
  for (const auto& [x, y] : cases) {
    SCOPED_TRACE(string(x) + " and " + y);
    reset_block();
    data_.variables = {numeric("x", 1), numeric("y", 2)};
    ASSERT_TRUE(compile_parsed(with("x", "y")));
    start_pass();
    std::vector<std::uint64_t> run_bits;
    ASSERT_EQ(run({constant_value(x), constant_value(y)}), 0);
    for (const char* r : results) run_bits.push_back(std::bit_cast<std::uint64_t>(value(r)));
    reset_block();
    data_.variables.clear();
    ASSERT_TRUE(compile_parsed(with(x, y)));
    cmppsts("Folded", 6, &cmp_);
    start_pass();
    ASSERT_EQ(run(), 0);
    for (std::size_t k = 0; k < run_bits.size(); ++k)
      EXPECT_EQ(std::bit_cast<std::uint64_t>(value(results[k])), run_bits[k]) << results[k];
  }
  // Nothing but moves of the folded values.
  const string listing = listing_text();
  EXPECT_NE(listing.find(" Mov "), string::npos) << listing;
  for (const char* op : {" Lt ", " Ge ", " And ", " Or ", " MinOp ", " MaxOp ", " Not "})
    EXPECT_EQ(listing.find(op), string::npos) << op << listing;
}

TEST_F(Arith, DateTimeAndDatetimeConstantsNotInAndMissing) {
  data_.variables = {numeric("x", 1)};
  ASSERT_TRUE(compile_parsed(
      "d = '02jan1960'd; t = '12:30't; dt = '01jan2020:12:00:30'dt;\n"
      "out = x notin (1, 2); also = x not in (3); m = missing(x) + 10 * missing(.A);\n"));
  start_pass();
  ASSERT_EQ(run({3.0}), 0);
  EXPECT_EQ(value("d"), 1);               // days since 1 January 1960
  EXPECT_EQ(value("t"), 12 * 3600 + 30 * 60);  // seconds since midnight
  // 60 years of 365 days and the 15 leap days of 1960 to 2016, then noon and 30 seconds.
  EXPECT_EQ(value("dt"), (60 * 365 + 15) * 86400.0 + 12 * 3600 + 30);
  EXPECT_EQ(value("out"), 1);
  EXPECT_EQ(value("also"), 0);
  EXPECT_EQ(value("m"), 10);
}

TEST_F(Arith, NoTrapEvenWhenTheCallerUnmasksFloatingPointExceptions) {
  data_.variables = {numeric("x", 1)};
  ASSERT_TRUE(compile("a = 1/x; b = log(x - 1); c = exp(1000 + x); d = 0 * a;"));
  start_pass();
  feenableexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
  const int rc = run({0.0});
  const int enabled = fegetexcept();
  fedisableexcept(FE_ALL_EXCEPT);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(enabled, FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
  EXPECT_EQ(nerr_, 3);
  EXPECT_EQ(nmiss_, 1);
}

TEST_F(Arith, ConstantsAreFoldedButFailingConstantsStayForTheRun) {
  ASSERT_TRUE(compile("y = 2 * 3 + 4 ** 0.5 - exp(0);\nz = 1 / 0;\n"));
  cmppsts("Code Listing", 12, &cmp_);
  const string listing = listing_text();
  EXPECT_NE(listing.find("Code Listing"), string::npos);
  EXPECT_EQ(listing.find("Mul"), string::npos) << listing;
  EXPECT_NE(listing.find("Div"), string::npos);
  start_pass();
  run();
  EXPECT_EQ(value("y"), 7);
  EXPECT_TRUE(is_plain_missing(value("z")));
  EXPECT_EQ(nerr_, 1);
}

}  // namespace
}  // namespace compiler_test
