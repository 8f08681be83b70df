#include "linalg/cross_product_block.h"

#include <algorithm>
#include <cstring>

#include "linalg/simd.h"

namespace linalg {
namespace {

using simd::v4d;

constexpr int kLanes = 4;  // cells of a row taken together
constexpr int kGroup = 4;  // runs of cells summed at once, so that their additions overlap

int round_up(int n) { return (n + kLanes - 1) / kLanes * kLanes; }


// Sums `count` rows into the runs (a multiple of kGroup of them), each cell
// in row order; lane by lane the operations are the scalar ones. A group's
// sums stay in registers over all the rows.
RUVA_VECTOR_CLONES
void sum_rows(const CrossProductBlock::Run* runs, int nruns, double* sums, const double* rows, const double* scaled,
              int padded, int count) {
  for (int first = 0; first < nruns; first += kGroup) {
    int i[kGroup], j[kGroup];
    v4d acc[kGroup];
#pragma GCC unroll 4
    for (int g = 0; g < kGroup; ++g) {
      i[g] = runs[first + g].i;
      j[g] = runs[first + g].j;
      RUVA_LOAD4(acc[g], sums + runs[first + g].sums);
    }
    for (int o = 0; o < count; ++o) {
      const double* v = rows + static_cast<std::size_t>(o) * static_cast<std::size_t>(padded);
      const double* wv = scaled + static_cast<std::size_t>(o) * static_cast<std::size_t>(padded);
#pragma GCC unroll 4
      for (int g = 0; g < kGroup; ++g) {
        v4d x;
        RUVA_LOAD4(x, v + j[g]);
        const double f = wv[i[g]];
        acc[g] += v4d{f, f, f, f} * x;
      }
    }
#pragma GCC unroll 4
    for (int g = 0; g < kGroup; ++g) RUVA_STORE4(sums + runs[first + g].sums, acc[g]);
  }
}

}  // namespace

void CrossProductBlock::start(int m) {
  count_ = 0;
  if (m == m_ && !sums_.empty()) {  // the layout of the last sums: only the sums start again
    std::fill(sums_.begin(), sums_.end(), 0.0);
    return;
  }
  m_ = m;
  padded_ = round_up(m);
  count_ = 0;
  rows_.assign(static_cast<std::size_t>(kRows) * static_cast<std::size_t>(padded_), 0.0);
  scaled_.assign(rows_.size(), 0.0);
  offsets_.resize(static_cast<std::size_t>(m));
  int size = 0;
  for (int i = 0; i < m; ++i) {
    offsets_[static_cast<std::size_t>(i)] = size;
    size += round_up(i + 1);
  }
  // Past the triangle, four cells where the runs that fill the last group
  // put their sums.
  sums_.assign(static_cast<std::size_t>(size + kLanes), 0.0);
  runs_.clear();
  for (int i = 0; i < m; ++i)
    for (int j = 0; j <= i; j += kLanes) runs_.push_back({offsets_[static_cast<std::size_t>(i)] + j, i, j});
  while (runs_.size() % kGroup != 0) runs_.push_back({size, 0, 0});
}

void CrossProductBlock::flush() {
  if (count_ == 0) return;
  sum_rows(runs_.data(), static_cast<int>(runs_.size()), sums_.data(), rows_.data(), scaled_.data(), padded_, count_);
  count_ = 0;
}

void CrossProductBlock::finish(double* a) {
  flush();
  for (int i = 0; i < m_; ++i) {
    std::memcpy(a, sums_.data() + offsets_[static_cast<std::size_t>(i)], sizeof(double) * static_cast<std::size_t>(i + 1));
    a += i + 1;
  }
}

}  // namespace linalg
