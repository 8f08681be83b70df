// Programs run over a real data set: the Puromycin CSV file read here, its
// variables handed to the compiler through the data-set stand-in, and every
// value checked against the same formulas computed in the test. Also the
// same program compiled from text and run on several threads at once.
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/compiler/executor.h"
#include "platform/compiler_fixture.h"

namespace compiler_test {
namespace {

using std::string;

struct Row {
  double conc, rate;
  string state;
};

std::vector<Row> puromycin() {
  std::ifstream in(string(RUVA_SOURCE_DIR) + "/examples/puromycin.csv");
  std::vector<Row> rows;
  string line;
  std::getline(in, line);  // conc,rate,state
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    string conc, rate, state;
    std::getline(fields, conc, ',');
    std::getline(fields, rate, ',');
    std::getline(fields, state, ',');
    rows.push_back({std::stod(conc), std::stod(rate), state});
  }
  return rows;
}

constexpr const char* kModel =
    "parms vm = 212.68 k = 0.06412;\n"
    "denom = k + conc;\n"
    "if state = 'treated' then vmax = vm; else vmax = vm * 0.75;\n"
    "model rate = vmax * conc / denom;\n"
    "der.vm = conc / denom;\n"
    "der.k = -vmax * conc / denom**2;\n"
    "_weight_ = 1 / rate;\n";

struct Expected {
  double model, dvm, dk, weight;
};

Expected expected(const Row& r, double vm, double k) {
  const double denom = k + r.conc;
  const double vmax = r.state == "treated" ? vm : vm * 0.75;
  return {vmax * r.conc / denom, r.conc / denom, -(vmax * r.conc) / (denom * denom), 1 / r.rate};
}

class Puromycin : public CompilerTest {
 protected:
  void SetUp() override {
    rows_ = puromycin();
    ASSERT_EQ(rows_.size(), 23u);
    data_.variables = {numeric("conc", 1), numeric("rate", 2), character("state", 3, 9)};
  }
  std::vector<Row> rows_;
  double parm_[2] = {212.68, 0.06412};
};

TEST_F(Puromycin, ModelDerivativesAndWeightsMatchTheFormulas) {
  add(kModel);
  CMPLIST parms{};
  ASSERT_EQ(cmplstb(&parms, kCmpKindParms, -1, &cmp_), 0);
  ASSERT_EQ(cmplsts(&parms, parm_, &cmp_), 0);
  ASSERT_EQ(cmprslv(&data_, &cmp_), 0);
  ASSERT_EQ(cmpgen(&cmp_), 0);
  ASSERT_EQ(cmppdv(&data_, &dataptr_, &cmp_), 0);
  double* cells[4] = {};
  CMPLIST outputs{};
  for (const char* n : {"MODEL.rate", "der.vm", "der.k", "_weight_"}) cmplst(&outputs, sym(n), &cmp_);
  ASSERT_EQ(cmplstg(&outputs, cells, &cmp_), 0);
  for (double vm : {212.68, 150.0}) {
    parm_[0] = vm;
    start_pass();
    double sse = 0, expected_sse = 0;
    for (const Row& r : rows_) {
      ASSERT_EQ(run({r.conc, r.rate, r.state}), 0);
      const Expected e = expected(r, parm_[0], parm_[1]);
      EXPECT_EQ(*cells[0], e.model);
      EXPECT_EQ(*cells[1], e.dvm);
      EXPECT_EQ(*cells[2], e.dk);
      EXPECT_EQ(*cells[3], e.weight);
      sse += *cells[3] * (r.rate - *cells[0]) * (r.rate - *cells[0]);
      expected_sse += e.weight * (r.rate - e.model) * (r.rate - e.model);
      EXPECT_EQ(nerr_ + nmiss_, 0);
    }
    EXPECT_EQ(sse, expected_sse);
  }
}

TEST_F(Puromycin, CompiledFromTextAndRunOnSeveralThreads) {
  platform::compiler::install_program_parser(&test_support::parse_program_text);
  ASSERT_EQ(platform::compiler::compile_text(&cmp_, kModel, data_.variables), 0) << log_text();
  CMPSYM* names[] = {sym("conc"), sym("rate"), sym("vm"), sym("k"), sym("MODEL.rate"), sym("der.k")};
  auto work = [&](double vm, std::vector<double>* out) {
    auto e = platform::compiler::new_executor(&cmp_);
    double* cell[6];
    for (int i = 0; i < 6; ++i) cell[i] = platform::compiler::executor_cell(*e, &cmp_, names[i]);
    *cell[2] = vm;
    *cell[3] = 0.06412;
    platform::compiler::RunOptions options;
    options.put = false;
    e->start_pass();
    for (int pass = 0; pass < 50; ++pass)
      for (const Row& r : rows_) {
        if (r.state != "treated") continue;  // only numeric inputs in this executor
        e->prepare_observation();
        *cell[0] = r.conc;
        *cell[1] = r.rate;
        platform::compiler::RunCounts counts;
        e->run(0, options, &counts);
        if (pass == 0) out->push_back(*cell[4] + *cell[5]);
      }
  };
  std::vector<std::vector<double>> results(4);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) threads.emplace_back(work, 200.0 + t, &results[static_cast<std::size_t>(t)]);
  for (auto& t : threads) t.join();
  for (int t = 0; t < 4; ++t) {
    std::size_t i = 0;
    for (const Row& r : rows_) {
      if (r.state != "treated") continue;
      const Expected e = expected({r.conc, r.rate, "other"}, 200.0 + t, 0.06412);
      ASSERT_LT(i, results[static_cast<std::size_t>(t)].size());
      // The executors' state variable is blank, so the untreated branch runs.
      EXPECT_EQ(results[static_cast<std::size_t>(t)][i++], e.model + e.dk);
    }
  }
}

TEST_F(Puromycin, TextWithASyntaxErrorIsReported) {
  platform::compiler::install_program_parser(&test_support::parse_program_text);
  EXPECT_EQ(platform::compiler::compile_text(&cmp_, "model rate = vm * ;", data_.variables), 1);
  EXPECT_NE(log_text().find("The program text cannot be compiled: expected an expression at line 1"),
            string::npos)
      << log_text();
  EXPECT_NE(nretain_, 0);
}

}  // namespace
}  // namespace compiler_test
