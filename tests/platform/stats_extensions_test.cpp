// The table ("qxtab") and statistics ("qxbstat") extensions over record
// files of "qxrec", against hand-worked samples: percentiles by definition
// 5 with ties, the covariance of a known sample, rows left out for missing
// values, and the bounded-memory order statistics against a full sort.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "host/missing.h"
#include "host/ext_column_statistics_qxbstat.h"
#include "host/ext_refit_engine_qxprof.h"
#include "host/ext_tables_qxtab.h"
#include "platform/kernel/kernel_library.h"
#include "platform/stats/order_statistics.h"
#include "prob/normal.h"

namespace {

// A record file of rows of `width` doubles, a table over it whose first
// column is excluded from the statistics, and a statistics instance.
class StatsExtensions : public ::testing::Test {
 protected:
  void SetUp() override {
    rec_ext_ = static_cast<QXREC_EXTENSION*>(platform::create_extension("qxrec"));
    tab_ext_ = static_cast<QXTAB_EXTENSION*>(platform::create_extension("qxtab"));
    bstat_ext_ = static_cast<QXBSTAT_EXTENSION*>(platform::create_extension("qxbstat"));
    ASSERT_TRUE(rec_ext_ && tab_ext_ && bstat_ext_);
    rec_ = rec_ext_->create_instance(rec_ext_, nullptr);
    const QXTAB_PARMS tp{0, nullptr, QXTAB_ACTION_DELETE, nullptr, 0};
    tab_ = tab_ext_->create_instance(tab_ext_, nullptr, &tp);
  }
  void TearDown() override {
    if (st_) st_->FactoryPtr->DestroyInstance(&st_);
    tab_->gen.destroy(tab_);  // deletes the table
    rec_->gen.destroy(rec_);  // releases the file
    for (QXGeneric* g : {&rec_ext_->gen, &tab_ext_->gen, &bstat_ext_->gen}) g->destroy(g);
  }

  // Rows (an id column, then the values) in a file that keeps `memory`
  // bytes in memory.
  void load(const std::vector<std::vector<double>>& rows, std::int64_t memory = 1 << 20) {
    const auto width = static_cast<std::int32_t>(rows.at(0).size() + 1);
    const QXREC_PARMS rp{width * 8, 0, 1, nullptr, 0, memory};
    file_ = rec_->FactoryPtr->MakeFile(rec_, &rp);
    for (std::size_t r = 0; r < rows.size(); ++r) {
      std::vector<double> rec = {static_cast<double>(r + 1)};
      rec.insert(rec.end(), rows[r].begin(), rows[r].end());
      ASSERT_EQ(rec_->FactoryPtr->AddRecord(rec_, file_, rec.data()), 0);
    }
    static constexpr QXChar kName[] = {'t'};
    const QXTAB_TABLE_PARMS parms{QXTAB_ROW_BUF, kName, 1, nullptr, 0, 0, 0, false, QXTAB_ACTION_DELETE, nullptr};
    table_ = tab_->FactoryPtr->NewTable(tab_, &parms, nullptr);
    for (std::int32_t k = 0; k < width; ++k) {
      const QXTAB_COL_PARMS cp{kName, 1, QXTAB_COL_DBL, 8, nullptr, 0};
      ASSERT_NE(table_->ops->NewColumn(table_, &cp, nullptr), nullptr);
    }
    ASSERT_EQ(table_->ops->AttachFile(table_, file_), 0);
    ASSERT_EQ(table_->ops->SetUserFlags(table_, 0, QXTAB_UFLAG_EXCLUDE, true), 0);
    const QXBSTAT_PARMS bp{1, 2, table_, nullptr};
    st_ = bstat_ext_->create_instance(bstat_ext_, nullptr, &bp);
    ASSERT_NE(st_, nullptr);
    ASSERT_EQ(st_->FactoryPtr->Descriptive(st_), 0);
  }
  void percentiles(const std::vector<double>& levels) {
    const double alpha = 0.1;
    const QXBSTAT_INTERVAL_PARMS ip{QXBSTAT_INT_PERC | QXBSTAT_INT_EQTAIL, QXBSTAT_PERC_DEF5,
                                    static_cast<std::int32_t>(levels.size()), levels.data(), 1, &alpha};
    ASSERT_EQ(st_->FactoryPtr->PercIntervals(st_, &ip), 0);
  }
  const QXBSTAT_DIAG& column(int k) { return *st_->FactoryPtr->GetStatistics(st_, k); }

  QXREC_EXTENSION* rec_ext_ = nullptr;
  QXTAB_EXTENSION* tab_ext_ = nullptr;
  QXBSTAT_EXTENSION* bstat_ext_ = nullptr;
  QXREC_INSTANCE* rec_ = nullptr;
  QXTAB_INSTANCE* tab_ = nullptr;
  QXREC_FILE* file_ = nullptr;
  QXTAB_TABLE* table_ = nullptr;
  QXBSTAT_INSTANCE* st_ = nullptr;
};

// Sorted: 1 2 2 2 2 3 4 5. Where n*q is whole the percentile is the mean of
// the two order statistics around it, else the next one up. The levels come
// back sorted, duplicates kept.
TEST_F(StatsExtensions, PercentileDefinitionFiveWithTies) {
  load({{3}, {1}, {2}, {2}, {2}, {5}, {4}, {2}});
  const std::vector<double> levels = {0.75, 0.25, 0.5, 0.6, 0.7, 0.9, 0.0, 1.0, 0.125, 0.25};
  percentiles(levels);
  const double* theirs = nullptr;
  std::int32_t n = 0;
  ASSERT_EQ(st_->FactoryPtr->ValueGet(st_, QXBSTAT_TYPE_PERCPTR, &theirs, nullptr), 0);
  ASSERT_EQ(st_->FactoryPtr->ValueGet(st_, QXBSTAT_TYPE_NPERC, &n, nullptr), 0);
  ASSERT_EQ(n, 10);
  const std::vector<double> sorted = {0.0, 0.125, 0.25, 0.25, 0.5, 0.6, 0.7, 0.75, 0.9, 1.0};
  const std::vector<double> want = {1, 1.5, 2, 2, 2, 2, 3, 3.5, 5, 5};
  const QXBSTAT_DIAG& d = column(0);
  ASSERT_EQ(d.intperc.n, 10);
  for (int k = 0; k < n; ++k) {
    EXPECT_EQ(theirs[k], sorted[k]);
    EXPECT_EQ(d.intperc.percPtr[k], want[k]) << "level " << sorted[k];
  }
  EXPECT_EQ(d.n, 8);
  EXPECT_EQ(d.min, 1);
  EXPECT_EQ(d.max, 5);
  EXPECT_EQ(st_->FactoryPtr->GetStatistics(st_, 1), nullptr);  // the id column is not analysed
  const double bad = 1.5;
  const QXBSTAT_INTERVAL_PARMS ip{QXBSTAT_INT_PERC, QXBSTAT_PERC_DEF5, 1, &bad, 0, nullptr};
  EXPECT_NE(st_->FactoryPtr->PercIntervals(st_, &ip), 0);
}

// Values and tables the extensions do not have are refused; a table ends
// with its generic header's destroy as with DeleteTable.
TEST_F(StatsExtensions, UnknownValuesAndTablesAreRefused) {
  load({{1}, {2}});
  std::int64_t length = 0, unknown = 0;
  EXPECT_EQ(file_->FValueGet(file_, QXREC_RECLEN, &length, 0), 0);
  EXPECT_EQ(length, 16);
  EXPECT_NE(file_->FValueGet(file_, 99, &unknown, 0), 0);
  std::int32_t n = 0;
  EXPECT_NE(st_->FactoryPtr->ValueGet(st_, 99, &n, nullptr), 0);
  static constexpr QXChar kName[] = {'u'};
  QXTAB_TABLE_PARMS parms{QXTAB_ROW_BUF, kName, 1, nullptr, 0, 0, 0, false, QXTAB_ACTION_DELETE, nullptr};
  QXTAB_TABLE* other = tab_->FactoryPtr->NewTable(tab_, &parms, nullptr);
  ASSERT_NE(other, nullptr);
  other->gen.destroy(other);  // released now, not again with the instance
  parms.name_len = -1;
  EXPECT_EQ(tab_->FactoryPtr->NewTable(tab_, &parms, nullptr), nullptr);
}

// a = 1..5, b = 2 1 4 3 5: means 3 and 3, variances 2.5, covariance 8/4.
// The row with a missing b is left out of everything.
TEST_F(StatsExtensions, CovarianceOfAKnownSample) {
  load({{1, 2}, {2, 1}, {100, missing_value()}, {3, 4}, {4, 3}, {5, 5}});
  percentiles({0.5});
  const double* cov = st_->FactoryPtr->GetTheCovariance(st_, 0);
  ASSERT_NE(cov, nullptr);
  EXPECT_DOUBLE_EQ(cov[0], 2.5);
  EXPECT_DOUBLE_EQ(cov[1], 2.0);
  EXPECT_DOUBLE_EQ(cov[2], 2.5);
  for (int k = 0; k < 2; ++k) {
    const QXBSTAT_DIAG& d = column(k);
    EXPECT_EQ(d.n, 5);
    EXPECT_DOUBLE_EQ(d.mean, 3.0);
    EXPECT_DOUBLE_EQ(d.std, std::sqrt(2.5));
    EXPECT_EQ(d.intperc.percPtr[0], 3.0);
    EXPECT_DOUBLE_EQ(d.intnorm.lower, 3.0 - zprobit(0.95) * std::sqrt(2.5));
  }
  EXPECT_EQ(st_->FactoryPtr->GetTheCovariance(st_, 1), nullptr);
  EXPECT_EQ(st_->FactoryPtr->GetTheCovariance(st_, 0), nullptr);
}

// With every row left out there is nothing to describe: no count, mean,
// limits or covariance.
TEST_F(StatsExtensions, NoRowsLeftHaveNoStatistics) {
  load({{missing_value()}, {missing_value()}});
  percentiles({0.5});
  const QXBSTAT_DIAG& d = column(0);
  EXPECT_EQ(d.n, 0);
  EXPECT_TRUE(is_special_missing(d.mean));
  EXPECT_TRUE(is_special_missing(d.min));
  EXPECT_TRUE(is_special_missing(d.std));
  EXPECT_EQ(st_->FactoryPtr->GetTheCovariance(st_, 0), nullptr);
}

// 200,000 rows, most of the memory part spilled, values with long runs of
// ties: the percentiles through the bounded-memory selection equal those of
// a full sort.
TEST_F(StatsExtensions, LongColumnsSpillAndSelectExactly) {
  std::mt19937_64 gen(5);
  std::normal_distribution<double> z;
  std::vector<std::vector<double>> rows;
  std::vector<double> a, b;
  for (int r = 0; r < 200000; ++r) {
    a.push_back(z(gen));
    b.push_back(std::round(z(gen) * 3));  // ties
    rows.push_back({a.back(), b.back()});
  }
  load(rows, 65536);
  const std::vector<double> levels = {0.025, 0.975, 0.5, 0.00001, 0.3, 0.99999, 0.0, 1.0};
  percentiles(levels);
  std::sort(a.begin(), a.end()), std::sort(b.begin(), b.end());
  std::vector<double> sorted = levels;
  std::sort(sorted.begin(), sorted.end());
  for (int k = 0; k < 8; ++k) {
    const platform::stats::Def5Ranks r = platform::stats::def5_ranks(200000, sorted[k]);
    EXPECT_EQ(column(0).intperc.percPtr[k], (a[r.lo - 1] + a[r.hi - 1]) / 2) << sorted[k];
    EXPECT_EQ(column(1).intperc.percPtr[k], (b[r.lo - 1] + b[r.hi - 1]) / 2) << sorted[k];
  }
}

// The narrowing itself with tiny limits, so that it takes many passes:
// extremes of every magnitude, subnormals and ties.
TEST_F(StatsExtensions, NarrowingFindsEveryRank) {
  std::vector<std::vector<double>> rows;
  std::vector<double> v = {-1e308, 1e308, 4.9e-324, 9.9e-324, 0.0, -0.0, 1e-300};
  std::mt19937_64 gen(9);
  std::uniform_int_distribution<int> small(0, 20);
  for (int k = 0; k < 3000; ++k) v.push_back(small(gen) * 0.25);
  for (double x : v) rows.push_back({x});
  load(rows);
  platform::stats::AnalysisRows analysis(table_);
  std::vector<std::int64_t> ranks;
  for (std::int64_t r = 1; r <= static_cast<std::int64_t>(v.size()); r += 37) ranks.push_back(r);
  ranks.push_back(static_cast<std::int64_t>(v.size()));
  std::vector<double> got;
  ASSERT_TRUE(platform::stats::order_statistics(analysis, 0, static_cast<std::int64_t>(v.size()), -1e308, 1e308,
                                                ranks, &got, {100, 16, 8}));
  std::sort(v.begin(), v.end());
  for (std::size_t k = 0; k < ranks.size(); ++k) EXPECT_EQ(got[k], v[ranks[k] - 1]) << "rank " << ranks[k];
}

}  // namespace
