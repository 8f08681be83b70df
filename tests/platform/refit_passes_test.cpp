// How the refit engine evaluates its passes: the second derivatives only
// where a term of the objective is not positive (negative weights), passes
// shared with idle threads on large data when they run through the
// interpreter, and in every case the same results on 1 and 8 threads, bit
// for bit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "support/refit_driver.h"
#include "support/refit_fixture.h"

namespace {

using refit_driver::Data;
using refit_driver::Driver;

class RefitPasses : public RefitHostTest {};

// y = 1 + 2x + noise on x in [0, 10), weight w; a few weights negative.
Data weighted_line(int n) {
  Data d;
  d.inputs = {"x", "w"};
  d.columns.resize(2);
  for (int i = 0; i < n; ++i) {
    const double x = 10.0 * i / n;
    d.columns[0].push_back(x);
    d.columns[1].push_back(i % 97 == 5 ? -0.5 : 1.0 + (i % 3));
    d.y.push_back(1 + 2 * x + 0.3 * std::sin(7.1 * i));
  }
  return d;
}

struct Outcome {
  std::vector<double> values;  // estimates, objective, observations, code, iterations, calls
  bool operator==(const Outcome& o) const {
    return values.size() == o.values.size() &&
           std::memcmp(values.data(), o.values.data(), values.size() * sizeof(double)) == 0;
  }
};

// One batch of `tasks` tasks from `start`: task k > 0 leaves out record 7k.
std::vector<Outcome> run(const Data& data, const std::string& text, const std::vector<std::string>& parms,
                         std::vector<double> start, int threads, int tasks) {
  Driver d(data, text, parms, threads);
  EXPECT_TRUE(d.instance() && d.declare() == 0);
  if (!d.instance()) return {};
  const std::size_t n = data.y.size();
  std::vector<std::vector<unsigned char>> skips(static_cast<std::size_t>(tasks),
                                                std::vector<unsigned char>((n + 7) / 8));
  std::vector<QXPROF_TASK_DESC> descs;
  for (int k = 0; k < tasks; ++k) {
    descs.push_back(d.task(k, start.data()));
    if (k == 0) continue;
    const std::size_t left = static_cast<std::size_t>(7 * k);
    skips[static_cast<std::size_t>(k)][left / 8] = static_cast<unsigned char>(0x80u >> (left % 8));
    descs.back().skip_obs_bit_array_h = skips[static_cast<std::size_t>(k)].data();
  }
  std::vector<Outcome> out;
  for (const QXPROF_RESULT* r : d.run(descs)) {
    Outcome o{{r->parm_array, r->parm_array + parms.size()}};
    for (double v : {*r->obj_val_ptr, double(r->n_cont_obs), double(r->qxznlo_rc), double(r->n_iter),
                     double(r->n_func)})
      o.values.push_back(v);
    out.push_back(o);
  }
  return out;
}

// Weighted least squares with negative weights: the refit reaches the
// solution of the normal equations, and large data gives the same bits on
// 1 and 8 threads, run over blocks or (with a DELETE) through the
// interpreter in passes shared with the idle threads.
TEST_F(RefitPasses, NegativeWeightsReachTheNormalEquations) {
  const std::string weighted =
      " MODEL.y = b1 + b2 * x ; _P_WEIGHTED_SSE_ = w * ( MODEL.y - y ) * ( MODEL.y - y ) ;";
  for (const auto& [n, text] : {std::pair{200, weighted}, std::pair{20000, weighted},
                                std::pair{20000, " if x < 0 then delete ;" + weighted}}) {
    SCOPED_TRACE(std::to_string(n) + text);
    const Data data = weighted_line(n);
    double sw = 0, swx = 0, swxx = 0, swy = 0, swxy = 0;
    for (int i = 0; i < n; ++i) {
      const double x = data.columns[0][i], w = data.columns[1][i], y = data.y[i];
      sw += w, swx += w * x, swxx += w * x * x, swy += w * y, swxy += w * x * y;
    }
    const double det = sw * swxx - swx * swx;
    const double b1 = (swxx * swy - swx * swxy) / det, b2 = (sw * swxy - swx * swy) / det;
    const auto one = run(data, text, {"b1", "b2"}, {0.5, 1.5}, 1, 1);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_GT(one[0].values[4], 0);  // converged
    EXPECT_NEAR(one[0].values[0], b1, 1e-8 * std::fabs(b1));
    EXPECT_NEAR(one[0].values[1], b2, 1e-8 * std::fabs(b2));
    EXPECT_EQ(one[0].values[3], n);
    EXPECT_TRUE(run(data, text, {"b1", "b2"}, {0.5, 1.5}, 8, 1)[0] == one[0]);
  }
}

// Large data with programs that run over blocks (not shared), leave
// observations out (DELETE), return early or end the pass (STOP) (shared:
// their passes run through the interpreter), or carry a value (not shared):
// a refit alone and a batch of fewer tasks than threads give the one-thread
// results. A value the model does not use that is missing at x = 0 (1/x)
// sends that observation of a block through the interpreter alone: the
// refits are those of the plain program, bit for bit.
TEST_F(RefitPasses, SharedPassesGiveTheOneThreadResults) {
  const Data data = refit_driver::decay_curve(30000);
  const std::string model = "b1 * exp(-b2 * x) + b3";
  std::vector<Outcome> plain[4];
  for (const std::string& program :
       {refit_driver::model_text(model),
        " if x > 9.5 then delete ;" + refit_driver::model_text(model),
        " MODEL.y = " + model + " ; _P_WEIGHTED_SSE_ = ( MODEL.y - y ) * ( MODEL.y - y ) ; if x > 2 then return ;"
        " _P_WEIGHTED_SSE_ = 2 * _P_WEIGHTED_SSE_ ;",
        " retain k 0 ; k = k + 1 ; MODEL.y = " + model + " + 1e-7 * k ; "
        "_P_WEIGHTED_SSE_ = ( MODEL.y - y ) * ( MODEL.y - y ) ;",
        " if x > 9 then stop ;" + refit_driver::model_text(model),
        " u = 1 / x ;" + refit_driver::model_text(model)}) {
    SCOPED_TRACE(program);
    for (int tasks : {1, 3}) {
      const auto one = run(data, program, {"b1", "b2", "b3"}, {4.5, 0.35, 1.2}, 1, tasks);
      const auto eight = run(data, program, {"b1", "b2", "b3"}, {4.5, 0.35, 1.2}, 8, tasks);
      ASSERT_EQ(one.size(), static_cast<std::size_t>(tasks));
      // A pass that STOP ends is not the sum the program asked for: the refit fails.
      const bool stops = program.find("stop") != std::string::npos;
      EXPECT_EQ(one[0].values[4] > 0, !stops);
      EXPECT_EQ(one[0].values[5] < 0, stops) << one[0].values[5];
      for (int k = 0; k < tasks; ++k) EXPECT_TRUE(one[k] == eight[k]) << "task " << k;
      if (plain[tasks].empty()) plain[tasks] = one;
      if (program.find("1 / x") != std::string::npos) {
        EXPECT_TRUE(one == plain[tasks]);
      }
    }
  }
}

}  // namespace
