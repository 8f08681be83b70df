// The listing read back against the JSON of the same run: every value of a
// table shows under a heading that reads whole, and every panel tells its
// rows apart, however long the headings, labels and names.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/listing_fixture.h"
#include "support/ruva_command.h"

namespace {

using nlohmann::json;

constexpr char kTreated[] =
    "conc,rate\n0.02,76\n0.02,47\n0.06,97\n0.06,107\n0.11,123\n0.11,139\n"
    "0.22,159\n0.22,152\n0.56,191\n0.56,201\n1.1,207\n1.1,200\n";
constexpr char kBod[] = "time,demand\n1,8.3\n2,10.3\n3,19\n4,16\n5,15.6\n7,19.8\n";
constexpr char kFit[] = "parms Vm = 200 K = 0.05; model rate = Vm*conc / (K + conc);";

// Whether `token` shows `v` as the listing rounds it, at its last digit.
bool shows(const std::string& token, double v) {
  char* end = nullptr;
  const double t = std::strtod(token.c_str(), &end);
  if (end == token.c_str() || *end) return false;
  const std::size_t e = token.find_first_of("eE"), dot = token.find('.');
  const int decimals =
      dot == std::string::npos ? 0 : static_cast<int>(std::min(e, token.size()) - dot - 1);
  const int exponent = e == std::string::npos ? 0 : std::atoi(token.c_str() + e + 1);
  return std::fabs(t - v) <= 0.5000001 * std::pow(10.0, exponent - decimals);
}

struct Piece {
  std::size_t start;
  std::string text;
};

// The texts of a line that two blanks or more set apart, as columns are.
std::vector<Piece> pieces(const std::string& line) {
  std::vector<Piece> out;
  for (std::size_t at = line.find_first_not_of(' '); at != std::string::npos;) {
    const std::size_t end = std::min(line.find("  ", at), line.size());
    out.push_back({at, line.substr(at, end - at)});
    at = line.find_first_not_of(' ', end);
  }
  return out;
}

// How often `text` reads whole down a column: a piece of `least`
// characters or more, then the pieces below that start or end where it
// does (a wrapped cell, a heading broken over lines).
int reads_down(const std::vector<std::string>& lines, const std::string& text,
               std::size_t least = 20) {
  int count = 0;
  for (std::size_t i = 0; i < lines.size(); ++i)
    for (const Piece& first : pieces(lines[i])) {
      if (first.text.size() < least || text.rfind(first.text, 0) != 0) continue;
      std::string read = first.text;
      for (std::size_t j = i + 1; j < lines.size() && read.size() < text.size(); ++j) {
        const std::size_t blank = text[read.size()] == ' ';
        const std::vector<Piece> below = pieces(lines[j]);
        const auto next = std::find_if(below.begin(), below.end(), [&](const Piece& p) {
          return (p.start == first.start ||
                  p.start + p.text.size() == first.start + first.text.size()) &&
                 text.compare(read.size() + blank, p.text.size(), p.text) == 0;
        });
        if (next == below.end()) break;
        read += std::string(blank, ' ') + next->text;
      }
      count += read == text;
    }
  return count;
}

class ListingPanelsTest : public RuvaCommandTest {
 protected:
  void run_at(const std::string& program, int linesize) {
    write("p.ruva", program);
    ASSERT_EQ(run("p.ruva --json j.json --option LINESIZE=" + std::to_string(linesize)), 0)
        << read("log.txt");
    outputs_.clear();
    std::istringstream json_lines(read("j.json")), listing(read("listing.txt"));
    for (std::string line; std::getline(json_lines, line);) outputs_.push_back(json::parse(line));
    lines_.clear();
    for (std::string line; std::getline(listing, line);) {
      EXPECT_LE(static_cast<int>(line.size()), linesize + (line[0] == '\f')) << line;
      lines_.push_back(line);
    }
  }
  // The output labelled `label` in the JSON, and its lines in the listing:
  // from its label down to the next output's.
  json output(const std::string& label, std::vector<std::string>* lines) const {
    const auto at = std::find_if(outputs_.begin(), outputs_.end(),
                                 [&](const json& o) { return o.value("label", "") == label; });
    if (at == outputs_.end()) return json();
    const auto next = std::find_if(at + 1, outputs_.end(),
                                   [](const json& o) { return !o.value("label", "").empty(); });
    auto labelled = [](const std::string& l) {
      return [l](const std::string& s) { return words(s) == words(l); };
    };
    const auto from = std::find_if(lines_.begin(), lines_.end(), labelled(label));
    const auto to = next == outputs_.end()
                        ? lines_.end()
                        : std::find_if(from, lines_.end(), labelled((*next)["label"]));
    lines->assign(from, to);
    return *at;
  }
  // Each of `texts`, which share their first 20 characters, reads whole
  // wherever a row starts with those.
  void expect_rows_read_apart(const std::vector<std::string>& lines,
                              const std::vector<std::string>& texts) {
    int starts = 0;
    for (const std::string& line : lines)
      for (const Piece& p : pieces(line))
        starts += p.text.size() >= 20 && texts[0].rfind(p.text.substr(0, 20), 0) == 0;
    EXPECT_GT(starts, 0);
    for (const std::string& text : texts)
      EXPECT_EQ(reads_down(lines, text) * static_cast<int>(texts.size()), starts) << text;
  }

  std::vector<json> outputs_;
  std::vector<std::string> lines_;
};

// An ID variable's label, one word longer than the line leaves beside the
// observation's number: the heading breaks across its lines and loses no
// character, and every row shows every value of its JSON row that the
// listing carries (the tangential leverage, the regressor, Predicted and
// Observed are for the other outputs).
TEST_F(ListingPanelsTest, NoValueIsLostUnderALongHeading) {
  const std::string word = "Substrate_concentration_in_millimoles_per_litre_of_the_solution";
  write("puro.csv", kTreated);
  for (const auto& [linesize, label] :
       {std::pair{64, word}, {132, (word + "_" + word + "_" + word).substr(0, 192)}}) {
    SCOPED_TRACE(linesize);
    write("puro.meta.json",
          R"({"type": "DATA", "variables": [{"name": "conc", "label": ")" + label + "\"}]}");
    run_at(std::string("proc ruva data=puro plots=fit; ") + kFit + " id conc; output out=o j=j; run;\n",
           linesize);
    std::vector<std::string> lines;
    const json stats = output("Output Statistics", &lines);
    EXPECT_GE(reads_down(lines, label), 1);
    for (const json& row : stats["rows"]) {
      // The words after the observation's number, on every line it starts.
      std::vector<std::string> shown;
      for (const std::string& line : lines)
        if (const auto w = words(line); !w.empty() && w[0] == row[0].dump())
          shown.insert(shown.end(), w.begin() + 1, w.end());
      for (std::size_t c = 1; c < row.size(); ++c) {
        const std::string name = stats["columns"][c]["name"];
        if (name != "Weight" && name != "id1" && name != "Residual" && name != "StudentizedResidual" &&
            name != "JacobianLeverage")
          continue;
        const auto at = std::find_if(shown.begin(), shown.end(), [&](const std::string& t) {
          return shows(t, row[c].get<double>());
        });
        ASSERT_NE(at, shown.end()) << stats["columns"][c]["name"] << " of row " << row[0];
        shown.erase(at);
      }
      // What is left is the ID, which starts every panel as the number does.
      for (const std::string& t : shown) EXPECT_TRUE(shows(t, row[2].get<double>())) << t;
    }
  }
}

// The Grid Search at LINESIZE=64: every line of every panel starts with
// what tells its grid point apart, and each sum of squares stands beside
// its point. Two parameters with long names stand first; of eight, the
// four that vary go first (the four constant ones are the same on every
// row); where six vary, they cannot all stand beside the sum of squares,
// and the grid point's number starts every panel.
TEST_F(ListingPanelsTest, EveryGridSearchPanelTellsItsPointsApart) {
  write("bod.csv", kBod);
  std::string syn = "x,y\n";
  for (int i = 1; i <= 30; ++i) syn += std::to_string(i / 10.0) + "," + std::to_string(1 + i / 7.0 + i % 3) + "\n";
  write("syn.csv", syn);
  const std::string terms = " model y = p0 + p1*x + p2*x*x + p3*sin(x) + p4*cos(2*x) + p5*x**3 + p6*exp(-x) + p7*x**4;";
  const struct {
    std::string program;
    bool numbered;
  } cases[] = {
      {"proc ruva data=bod; parms asymptote_of_the_demand_curve = 15 20 25"
       " rate_constant_of_the_demand_curv = 0.3 0.5; model demand ="
       " asymptote_of_the_demand_curve*(1 - exp(-rate_constant_of_the_demand_curv*time)); run;\n",
       false},
      {"proc ruva data=syn; parms p0-p3 = 1 p4-p7 = 0.1 0.5;" + terms + " run;\n", false},
      {"proc ruva data=syn; parms p0-p1 = 1 p2-p7 = 0.1 0.5;" + terms + " run;\n", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.program);
    run_at(c.program, 64);
    std::vector<std::string> lines;
    const json table = output("Grid Search", &lines);
    const json& rows = table["rows"];
    // The parameters that vary, by their column in the JSON (the point's
    // number is the first).
    std::vector<std::size_t> varying;
    for (std::size_t k = 1; k + 1 < table["columns"].size(); ++k)
      if (std::any_of(rows.begin(), rows.end(), [&](const json& r) { return r[k] != rows[0][k]; }))
        varying.push_back(k);
    std::size_t n = 0;  // the data lines, row after row in each panel
    std::vector<int> sums(rows.size());
    for (const std::string& line : lines) {
      const std::vector<std::string> w = words(line);
      const auto number = [](const std::string& t) { return shows(t, std::atof(t.c_str())); };
      if (w.empty() || !std::all_of(w.begin(), w.end(), number)) continue;
      const std::size_t r = n++ % rows.size();
      const json& row = rows[r];
      if (c.numbered) {
        EXPECT_EQ(w[0], row[0].dump()) << line;
      } else {
        ASSERT_GE(w.size(), varying.size()) << line;
        for (std::size_t k = 0; k < varying.size(); ++k) EXPECT_TRUE(shows(w[k], row[varying[k]].get<double>())) << line;
      }
      sums[r] += shows(w.back(), row.back().get<double>());
    }
    EXPECT_EQ(n % rows.size(), 0u);
    for (int shown : sums) EXPECT_EQ(shown, 1);
  }
}

// Parameter labels alike but for their end, longer than the line leaves
// beside the parameter's name, read apart at LINESIZE=64 and 132: each
// wraps over its row's lines. A label longer than 255 bytes is cut there,
// with a note that says where the label stands.
TEST_F(ListingPanelsTest, AParametersLabelReadsWhole) {
  write("bod.csv", kBod);
  const std::string label =
      "Biochemical oxygen demand of the river water sample at the end of the incubation in the dark at twenty degrees "
      "Celsius ";
  const std::string fit = "proc ruva data=bod; parms a = 20 b = 0.5; bounds a > 19.8, 0 < b < 5;"
                          " model demand = a*(1 - exp(-b*time));";
  for (int linesize : {64, 132}) {
    run_at(fit + " label a = '" + label + "(mg/l)' b = '" + label + "(1/day)'; run;\n", linesize);
    std::vector<std::string> lines;
    ASSERT_FALSE(output("Parameter Estimates", &lines).is_null());
    expect_rows_read_apart(lines, {label + "(mg/l)", label + "(1/day)"});
  }
  // The note places the label it cuts, not the statement.
  const std::string before = fit + " label a = 'Asymptote' b = ";
  run_at(before + "'" + std::string(300, 'x') + "'; run;\n", 80);
  std::vector<std::string> lines;
  EXPECT_EQ(output("Parameter Estimates", &lines)["rows"][1].back(), std::string(255, 'x'));
  EXPECT_NE(read("log.txt").find("NOTE: The label of b at line 1 column " + std::to_string(before.size() + 1) + " "),
            std::string::npos)
      << read("log.txt");
  EXPECT_NE(read("log.txt").find("is 300 bytes long, longer than the 255 a label may have; it is cut there."),
            std::string::npos);
}

// ESTIMATE and CONTRAST labels alike but for their end, at LINESIZE=80:
// each reads whole in every panel of the estimates, the contrasts and the
// estimates' matrices. Likewise an ID value longer than the line leaves.
TEST_F(ListingPanelsTest, RowsAlikeButForTheirEndReadApart) {
  write("puro.csv", kTreated);
  const std::string label = "Predicted rate of the treated enzyme at a substrate concentration of ";
  std::string statements;
  for (const char* at : {"0.02", "0.50"})
    for (const char* statement : {"estimate", "contrast"})
      statements += std::string(statement) + " '" + label + at + "' Vm*" + at + "/(K+" + at + ")" +
                    (statement[0] == 'c' ? " - 100;" : ";");
  run_at(std::string("proc ruva data=puro ecorr ecov eder; ") + kFit + statements + " run;\n", 80);
  for (const char* table : {"Additional Estimates", "Contrasts",
                            "Approximate Covariance Matrix of Additional Estimates",
                            "Approximate Correlation Matrix of Additional Estimates",
                            "Derivatives of Additional Estimates by Parameter"}) {
    SCOPED_TRACE(table);
    std::vector<std::string> lines;
    const json rows = output(table, &lines)["rows"];
    ASSERT_EQ(rows.size(), 2u);
    expect_rows_read_apart(lines, {rows[0][0].get<std::string>(), rows[1][0].get<std::string>()});
  }
  std::istringstream treated(kTreated);
  std::string data, line;
  const std::string sample = "laboratory_sample_of_the_treated_enzyme_preparation_number_";
  for (int r = 0; std::getline(treated, line); ++r)
    data += line + (r ? "," + sample + std::to_string(r) : ",sample") + "\n";
  write("ids.csv", data);
  run_at(std::string("proc ruva data=ids; ") + kFit + " id sample; output out=o j=j; run;\n", 64);
  std::vector<std::string> lines;
  std::vector<std::string> ids;
  const json stats = output("Output Statistics", &lines);
  for (const json& row : stats["rows"])
    for (const json& cell : row)
      if (cell.is_string()) ids.push_back(cell.get<std::string>());
  ASSERT_EQ(ids.size(), 12u);
  expect_rows_read_apart(lines, ids);
}

// FORMCHAR= draws every rule: with '=' as its rule character the BY line
// and the dashes under the limits' level are '='.
TEST_F(ListingPanelsTest, HeaderGroupsUseTheRuleCharacterOfFormchar) {
  write("puro.csv", "g,conc,rate\n1,0.02,76\n1,0.06,97\n1,0.22,159\n1,1.1,207\n");
  write("p.ruva", std::string("proc ruva data=puro; by g; ") + kFit + " run;\n");
  ASSERT_EQ(run("p.ruva --option 'FORMCHAR=|====|+|===+=|-/\\<>*'"), 0) << read("log.txt");
  const std::string listing = read("listing.txt");
  EXPECT_NE(listing.find("===Confidence Limits"), std::string::npos) << listing;
  EXPECT_NE(listing.find("= g=1 ="), std::string::npos) << listing;
  EXPECT_EQ(listing.find("--"), std::string::npos) << listing;
}

}  // namespace
