// The bootstrap through real programs: Puromycin's bootstrap standard
// deviations against its Wald standard errors for every scheme, the limits
// against the BOOTDATA= samples, identical output whatever the thread count
// and across identical BY groups, and groups whose bootstrap cannot run.
#include <algorithm>
#include <cmath>
#include <fstream>
#include <regex>
#include <sstream>

#include "prob/normal.h"
#include "profile/bootstrap_math.h"
#include "results/fit_fixture.h"

namespace {

using procedure_test::Row;
using results_test::kPuromycin;

class BootstrapTest : public results_test::FitTest {
 protected:
  std::string file_text(const std::string& name) const {
    std::ifstream in(dir_ / name);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // Column `name` of the BOOTDATA= rows.
  std::vector<double> column(const std::vector<Row>& rows, const std::string& name) const {
    std::vector<double> out;
    for (const Row& r : rows) out.push_back(number(r, name));
    return out;
  }
};

// n = 12, p = 2: the raw residual bootstrap runs about sqrt(10/12) low,
// which the other scalings correct.
TEST_F(BootstrapTest, PuromycinSchemesMatchWaldErrors) {
  const std::string hessian =
      " der.Vm.Vm = 0; der.Vm.K = -conc/(K+conc)**2; der.K.K = 2*Vm*conc/(K+conc)**3;";
  struct Case {
    const char* options;
    const char* extra;
    double shrink;
  } cases[] = {{"dgp=residual(adjsse)", "", 1.0},
               {"dgp=residual(raw)", "", std::sqrt(10.0 / 12)},
               {"dgp=residual(tan)", "", 1.0},
               {"dgp=residual(jac)", hessian.c_str(), 1.0},
               {"dgp=wild", " _weight_ = 1;", 1.0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    json_.str("");
    ASSERT_EQ(
        fit(kPuromycin,
            std::string("proc ruva data=d; parms Vm=200 K=0.05; model rate = Vm*conc/(K+conc);") +
                c.extra + " bootstrap / seed=11 bootci(all) bootdata=bd " + c.options + ";"),
        0)
        << log_text();
    const auto pe = table("ParameterEstimates");
    const std::vector<Row> rows = read_rows("bd");
    ASSERT_EQ(rows.size(), 1000u);
    const double z = zprobit(0.975);
    for (std::size_t i = 0; i < 2; ++i) {
      const std::string parm = i ? "K" : "Vm";
      const double est = number(pe, i, "Estimate"), se = number(pe, i, "StdErr"),
                   sd = number(pe, i, "BootStdDev");
      EXPECT_NEAR(sd / (se * c.shrink), 1.0, 0.15) << parm;
      EXPECT_NEAR(number(pe, i, "NormalLowerCL"), est - z * sd, 1e-9 * est);
      std::vector<double> v = column(rows, parm);
      std::sort(v.begin(), v.end());
      EXPECT_DOUBLE_EQ(number(pe, i, "PercLowerCL"), percentile_def5(v, 0.025));
      EXPECT_DOUBLE_EQ(number(pe, i, "percUpperCL"), percentile_def5(v, 0.975));
      const double z0 = zprobit(
          static_cast<double>(std::upper_bound(v.begin(), v.end(), est) - v.begin()) / 1000);
      EXPECT_DOUBLE_EQ(number(pe, i, "BCUpperCL"), percentile_def5(v, zprbnrm(2 * z0 + z)));
    }
  }
}

// Two identical BY groups and 1, 2 or 8 threads give the same listing, JSON
// and BOOTDATA= byte for byte; rows come in sample order with the seed, the
// first SEED= and the others the end seed published in SYSRANEND.
TEST_F(BootstrapTest, ReproducibleAcrossThreadsAndGroups) {
  std::string twice = "g,conc,rate\n";
  for (int g = 1; g <= 2; ++g) {
    std::istringstream in(std::string(kPuromycin).substr(10));
    for (std::string line; std::getline(in, line);) twice += std::to_string(g) + "," + line + "\n";
  }
  std::string first[3];
  for (int k = 0; k < 3; ++k) {
    listing_.str(""), json_.str("");
    ASSERT_EQ(fit(twice, std::string("proc ruva data=d nthreads=") + "128"[k] +
                             "; by g; parms Vm=200 K=0.05; model rate = Vm*conc/(K+conc);"
                             " bootstrap / seed=4321 bootcov bootcorr bootdata=bd;"),
              0)
        << log_text();
    // Step numbers (and the page break before a later step) differ from run
    // to run; nothing else may.
    const std::string out = std::regex_replace(listing_.str(), std::regex("^\f"), "") +
                            std::regex_replace(json_.str(), std::regex("\"step\":[0-9]+"), "") +
                            file_text("bd.csv");
    if (k == 0)
      first[0] = out;
    else
      EXPECT_EQ(out, first[0]) << "nthreads "
                               << "128"[k];
  }
  const std::vector<Row> rows = read_rows("bd");
  ASSERT_EQ(rows.size(), 2000u);
  std::smatch end;
  const std::string log = log_text();
  ASSERT_TRUE(std::regex_search(log, end, std::regex("SYSRANEND is set to ([0-9]+)"))) << log;
  EXPECT_NE(log.find("SYSRANDOM is set to 4321"), std::string::npos);
  for (std::size_t r = 0; r < 1000; ++r) {
    const Row& a = rows[r];
    const Row& b = rows[r + 1000];
    EXPECT_EQ(number(a, "_BOOT_INDEX_"), r + 1.0);
    EXPECT_EQ(a.at("_SEED_"), r == 0 ? "4321" : end[1].str());
    for (const char* v : {"_BOOT_INDEX_", "_SEED_", "_SSE_", "Vm", "K"})
      EXPECT_EQ(a.at(v), b.at(v)) << v << r;
  }
  const auto corr = tables("BootstrapCorr"), cov = tables("BootstrapCov");
  ASSERT_EQ(corr.size(), 2u);
  ASSERT_EQ(cov.size(), 2u);
  const auto pe = table("ParameterEstimates");
  const double sv = number(pe, 0, "BootStdDev"), sk = number(pe, 1, "BootStdDev");
  EXPECT_NEAR(number(cov.front(), 0, "Vm"), sv * sv, 1e-9 * sv * sv);
  EXPECT_NEAR(number(corr.front(), 1, "Vm"), number(cov.front(), 1, "Vm") / (sv * sk), 1e-12);
}

// A group whose bootstrap cannot run shows missing bootstrap cells, not the
// group before's: two observations for two parameters leave no finite
// ADJSSE scale (or no usable covariance).
TEST_F(BootstrapTest, GroupWithoutBootstrapShowsMissingResults) {
  std::string data = "g,conc,rate\n";
  std::istringstream in(std::string(kPuromycin).substr(10));
  for (std::string line; std::getline(in, line);) data += "1," + line + "\n";
  data += "2,0.1,100\n2,1,180\n";
  ASSERT_EQ(fit(data,
                "proc ruva data=d; by g; parms Vm=200 K=0.05; model rate = Vm*conc/(K+conc);"
                " bootstrap / seed=5 bootci(all);"),
            0)
      << log_text();
  const auto pe = tables("ParameterEstimates");
  ASSERT_EQ(pe.size(), 2u);
  EXPECT_GT(number(pe[0], 0, "BootStdDev"), 0.0);
  for (const char* c : {"BootStdDev", "BCLowerCL", "PercLowerCL", "NormalUpperCL"})
    for (std::size_t i = 0; i < 2; ++i) EXPECT_TRUE(cell(pe[1], i, c).is_null()) << c << i;
  EXPECT_EQ(logged(970) + logged(473) + logged(474) + logged(484), 1) << log_text();
}

}  // namespace
