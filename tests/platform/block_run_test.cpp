// Programs run over observations both ways, one observation at a time by the
// interpreter and over blocks (cmpbpas, cmpbfill, cmpbrun, cmpbget, cmprun
// for the observations a block leaves to it): after every observation each
// cell of a symbol must hold the same bits, with the same run code and
// counts, and at the end of the pass the places of missing values and
// errors must be the same. Programs that carry values from one observation
// to the next must refuse blocks.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "derivative_fixture.h"
#include "platform/compiler/api.h"
#include "platform/compiler/block_kernels.h"
#include "platform/compiler/compiler.h"
#include "platform/compiler/executor.h"

namespace {

using compiler_test::FakeDataset;
using platform::compiler::BlockKernel;
using platform::compiler::BlockOp;
using platform::compiler::BlockStep;
using platform::compiler::Op;

constexpr double kInf = std::numeric_limits<double>::infinity();

struct Snapshot {
  int rc = 0, nerr = 0, nmiss = 0;
  std::vector<std::uint64_t> cells;  // every numeric symbol's cell, as bits
  bool operator==(const Snapshot&) const = default;
};

class BlockRuns : public derivative_test::DerivativeTest {
 protected:
  Snapshot snapshot(int rc) const {
    Snapshot s{rc, nerr_, nmiss_, {}};
    auto* c = platform::compiler::compiler_of(const_cast<CMPGLOBAL*>(&cmp_));
    for (std::size_t i = 0; i < c->symbols.size(); ++i) {
      const CMPSYM& pub = c->symbols.at(i).pub;
      if (pub.type != '$' && pub.data) s.cells.push_back(std::bit_cast<std::uint64_t>(*static_cast<double*>(pub.data)));
    }
    return s;
  }
  std::vector<std::uint32_t> places() const {
    auto* c = platform::compiler::compiler_of(const_cast<CMPGLOBAL*>(&cmp_));
    std::vector<std::uint32_t> out = c->executor->missing_by_site();
    const auto& errors = c->executor->errors_by_site();
    out.insert(out.end(), errors.begin(), errors.end());
    return out;
  }

  int run_alone(int derivatives) {
    nerr_ = nmiss_ = 0;
    return cmprun(0, 0, 0, 1, 1, derivatives, 0, 1, &nerr_, &nmiss_, &cmp_);
  }

  std::vector<Snapshot> one_by_one(const std::vector<std::vector<FakeDataset::Value>>& rows, int derivatives) {
    std::vector<Snapshot> out;
    cmpexi(1, 0, 0, &cmp_);
    for (const auto& row : rows) {
      cmpexi(0, 0, 0, &cmp_);
      data_.load(row);
      out.push_back(snapshot(run_alone(derivatives)));
    }
    return out;
  }

  struct Feed {
    BlockRuns* test;
    const std::vector<std::vector<FakeDataset::Value>>* rows;
    std::size_t next = 0;
    static int take(void* arg) {
      auto* f = static_cast<Feed*>(arg);
      if (f->next == f->rows->size()) return 0;
      f->test->data_.load((*f->rows)[f->next++]);
      return 1;
    }
  };

  // Every observation is also compared with the reference where the data
  // pass reads it without cmpbget: the places cmpbval gives.
  std::vector<Snapshot> in_blocks(const std::vector<std::vector<FakeDataset::Value>>& rows, int derivatives,
                                  const std::vector<Snapshot>& reference) {
    std::vector<Snapshot> out;
    cmpexi(1, 0, 0, &cmp_);
    if (cmpbpas(derivatives, nullptr, 0, &cmp_) == 0) {
      ADD_FAILURE() << "the program does not run over blocks";
      return out;
    }
    std::vector<const double*> cells;
    auto* c = platform::compiler::compiler_of(&cmp_);
    for (std::size_t i = 0; i < c->symbols.size(); ++i) {
      const CMPSYM& pub = c->symbols.at(i).pub;
      if (pub.type != '$' && pub.data) cells.push_back(static_cast<double*>(pub.data));
    }
    std::vector<std::pair<const double*, long>> where(cells.size());
    for (std::size_t k = 0; k < cells.size(); ++k) where[k].first = cmpbval(cells[k], &where[k].second, &cmp_);
    Feed feed{this, &rows};
    while (const int count = cmpbfill(&Feed::take, &feed, &cmp_)) {
      const unsigned char* alone = cmpbrun(&cmp_);
      for (int i = 0; i < count; ++i) {
        const std::size_t o = out.size();
        if (alone[i]) {
          EXPECT_EQ(cmpbget(i, &cmp_), 1);
          out.push_back(snapshot(run_alone(derivatives)));
          continue;
        }
        for (std::size_t k = 0; k < cells.size() && o < reference.size(); ++k)
          EXPECT_EQ(std::bit_cast<std::uint64_t>(where[k].first[i * where[k].second]), reference[o].cells[k])
              << "observation " << o << " cell " << k;
        EXPECT_EQ(cmpbget(i, &cmp_), 0);
        nerr_ = nmiss_ = 0;
        out.push_back(snapshot(0));
      }
    }
    return out;
  }

  // Both ways over the rows, with and without derivatives.
  void expect_same_both_ways(const std::vector<std::vector<FakeDataset::Value>>& rows) {
    for (int derivatives : {1, 0}) {
      const std::vector<Snapshot> reference = one_by_one(rows, derivatives);
      const std::vector<std::uint32_t> reference_places = places();
      const std::vector<Snapshot> blocks = in_blocks(rows, derivatives, reference);
      ASSERT_EQ(blocks.size(), reference.size());
      for (std::size_t o = 0; o < rows.size(); ++o)
        EXPECT_TRUE(blocks[o] == reference[o]) << "observation " << o << " derivatives " << derivatives;
      EXPECT_EQ(places(), reference_places);
    }
  }
};

// x over a range with missing values, zeros, ones, huge values and values
// that overflow EXP, spread over several blocks and at their edges.
std::vector<std::vector<FakeDataset::Value>> rows_of_x(int n) {
  std::vector<std::vector<FakeDataset::Value>> rows;
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> u(-3, 6);
  for (int i = 0; i < n; ++i) {
    double x = u(rng);
    if (i % 41 == 3 || i == 127 || i == 128) x = missing_value();
    if (i % 53 == 5) x = 0;
    if (i % 59 == 6) x = 1;
    if (i % 67 == 7) x = 1e300;
    if (i % 71 == 8) x = -800;
    rows.push_back({x, 1.0 + 0.01 * i});
  }
  return rows;
}

TEST_F(BlockRuns, ModelsAndTheirDerivativesGiveTheInterpretersBits) {
  data_.variables = {compiler_test::numeric("x", 1), compiler_test::numeric("w", 2)};
  const char* programs[] = {
      "parms b1 b2 b3 b4; model y = b1 + b2*exp(-b3*x) + b4*x;",
      "parms c0 a m s; model y = c0 + a*exp(-((x-m)/s)**2);",
      "parms a b; e = exp(-b*x); model y = a*e; der.a = e; der.b = -a*x*e; _weight_ = 1/w;",
      ("parms a b; t = sqrt(x) + log(x) + x**b + abs(x)**0.5 + (x > 1) + (x <= 2) + mod(x, 3)"
       " + atan2(x, b) + sum(x, b) + max(x, 2, 3) + (x >< 2) + (x <> 1); model y = a*t + b*x;"),
      // A jump forward that every run takes.
      "parms a b; f = a; goto m; f = 0; m: model y = f*x + b;",
      "parms a b; z = 1/(x - 1); x = x/10; model y = a*x + b*x*x + 0*z;",
      "parms a b; k = log(b); model y = a*x*k;",
      // LINKs followed into their routines and back, one within another.
      "parms a b; link l; model y = f + g; return; l: f = a*x; link m; return; m: g = b*x*x; return;",
      // Logic as values, and calls of the parameters alone, computed once per block.
      "parms a b; t = (x > a) and (x < 4) or not (x > 2*b); model y = a*x + b*t;",
      "parms a b; model y = a*exp(-a*b)*x + exp(a*b) + sum(a, b, 1)*x;",
  };
  // A call with more arguments than a block gathers: its rows are left to the interpreter.
  std::string many = "parms a b; model y = a*sum(b";
  for (int k = 0; k < 70; ++k) many += ", x";
  many += ");";
  std::vector<std::string> all(std::begin(programs), std::end(programs));
  all.push_back(many);
  for (const std::string& program : all) {
    SCOPED_TRACE(program);
    reset();
    ASSERT_TRUE(compile_model(program));
    parm_.assign(parm_.size(), 0.5);
    expect_same_both_ways(rows_of_x(300));
    // A parameter that fails an operation common to every observation.
    parm_.back() = -1;
    expect_same_both_ways(rows_of_x(40));
  }
}

TEST_F(BlockRuns, ProgramsThatCarryValuesOrBranchRunObservationByObservation) {
  data_.variables = {compiler_test::numeric("x", 1)};
  const char* programs[] = {
      "parms a; retain s 0; s = s + x; model y = a*s;",
      "parms a; control k; k = k + x; model y = a*k;",
      "parms a; if x > 1 then f = a*x; else f = a; model y = f;",
      "parms a; goto s; l: f = a*x; return; s: link l; model y = f;",  // a LINK back
      "parms a; array t[2] t1-t2; do i = 1 to 2; t[i] = i*x; end; model y = a*t2;",
      "parms a; model y = a*x + z; z = x;",
      "parms a; model y = a*x; put x;",
  };
  for (const char* program : programs) {
    reset();
    ASSERT_TRUE(compile_model(program, false)) << program;
    cmpexi(1, 0, 0, &cmp_);
    EXPECT_EQ(cmpbpas(1, nullptr, 0, &cmp_), 0) << program;
  }
  // Before a block pass the value of a cell is the cell itself.
  reset();
  ASSERT_TRUE(compile_model("parms a; model y = a*x;", false));
  long stride = -1;
  double* const first = &parm_[0];
  EXPECT_EQ(cmpbval(first, &stride, &cmp_), first);
  EXPECT_EQ(stride, 0);
  // A variable of the data set whose value the caller keeps elsewhere.
  reset();
  data_.variables = {compiler_test::numeric("x", 1), compiler_test::numeric("_halve_", 2)};
  double halve = 0;
  ASSERT_TRUE(compile_model("parms a; model y = a*x + _halve_;", false));
  cmpsyma("_HALVE_", 7, 'n', 8, &halve, &cmp_);
  cmpexi(1, 0, 0, &cmp_);
  EXPECT_EQ(cmpbpas(1, nullptr, 0, &cmp_), 0);
  data_.variables = {compiler_test::numeric("x", 1)};
  // A special variable the caller changes from one observation to the next.
  reset();
  double obs = 0;
  ASSERT_TRUE(compile_model("parms a; model y = a*x + _obs_;", false));
  cmpsyma("_OBS_", 5, 'n', 8, &obs, &cmp_);
  cmpexi(1, 0, 0, &cmp_);
  double* const changing[] = {&obs};
  EXPECT_EQ(cmpbpas(1, changing, 1, &cmp_), 0);
  EXPECT_GT(cmpbpas(1, nullptr, 0, &cmp_), 0);
  platform::compiler::allow_block_runs(false);
  EXPECT_EQ(cmpbpas(1, nullptr, 0, &cmp_), 0);
  platform::compiler::allow_block_runs(true);
}

// The bits of a result, the sign of a NaN apart: compilers may move a
// negation across the operation that propagates a NaN, so that sign may
// differ between two compilations of one formula. Such a result is not
// finite, so the row goes to the interpreter, which judges the operands.
std::uint64_t value_bits(double v) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
  return std::isnan(v) ? bits & ~(1ull << 63) : bits;
}

// Every arithmetic kernel, at each width the processor has, against the
// value of one row, for operands of every kind among finite, infinite and
// missing values: the same bits, and the row marked exactly when its result
// is not finite (checked kernels) or left to a later look (unchecked).
TEST(BlockKernels, EveryRowGetsTheScalarOperation) {
  const double specials[] = {0.0, -0.0, 1.0, -2.5, 1e308, -1e308, 5e-324, kInf, -kInf, missing_value(), 3.0, 1e-300};
  constexpr int kRows = 12;
  double x[kRows], y[kRows], z[kRows];
  for (int i = 0; i < kRows; ++i) {
    x[i] = specials[i];
    y[i] = specials[(i * 5 + 3) % kRows];
    z[i] = specials[(i * 7 + 1) % kRows];
  }
  std::vector<int> widths = {2};
  if (platform::compiler::block_kernels_four_wide()) widths.push_back(4);
  const Op ops[] = {Op::Add, Op::Sub, Op::Mul, Op::Div, Op::Sqr, Op::NMul, Op::MulAdd,
                    Op::MulSub, Op::SubMul, Op::Neg, Op::Pow, Op::MinOp, Op::Le, Op::Call1,
                    Op::CallMul, Op::CallNMul, Op::Not, Op::And, Op::Or};
  for (int lanes : widths)
    for (Op op : ops)
      for (int kinds = 0; kinds < 8; ++kinds)
        for (bool checked : {true, false}) {
          BlockStep s;
          s.op.op = op;
          s.op.fn = platform::compiler::find_function("EXP");
          s.f = &platform::compiler::function_table()[s.op.fn];
          const bool xv = kinds & 4, yv = kinds & 2, zv = kinds & 1;
          s.x = xv ? x : &x[7];
          s.y = yv ? y : &y[1];
          s.z = zv ? z : &z[2];
          double r[kRows];
          unsigned char bad[kRows] = {};
          s.r = r;
          BlockKernel k = platform::compiler::block_kernel_of_width(op, xv, yv, zv, checked, lanes);
          k(s, kRows, bad);
          for (int i = 0; i < kRows; ++i) {
            bool ok = true;
            const double want = platform::compiler::block_value(s.op, xv ? x[i] : x[7], yv ? y[i] : y[1],
                                                                zv ? z[i] : z[2], nullptr, &ok);
            EXPECT_EQ(value_bits(r[i]), value_bits(want))
                << op_name(op) << " lanes " << lanes << " kinds " << kinds << " row " << i;
            if (checked) {
              EXPECT_EQ(bad[i] != 0, !ok) << op_name(op) << " row " << i;
            }
          }
        }
}

}  // namespace
