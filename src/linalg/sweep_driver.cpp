// The pivoting sweep driver.
#include <algorithm>
#include <cmath>
#include <vector>

#include "host/globals.h"
#include "host/narrow_strings.h"
#include "host/pool.h"
#include "host/services.h"
#include "linalg/constants.h"
#include "linalg/cpu_count.h"
#include "linalg/packed.h"
#include "linalg/sweep.h"

using linalg::kPivotTieMargin;
using linalg::kRoundoff;
using linalg::kTinyNormal;

namespace {

bool has_option(const tchar* options, char letter) {
  return wzstpos(options, wzstlen(options), static_cast<unsigned char>(letter)) >= 0;
}

inline double& diagonal(double* x, int i) { return x[zisub(i, i)]; }

// A threaded control made for one driver call. It is released however the
// call ends, also when a failing pool ends the step through xexit, so that
// no worker thread outlives the step.
class OwnedControl {
 public:
  OwnedControl(int n, int numThreads) {
    if (n <= linalg::kThreadedSweepCutoff) return;
    const int threads = numThreads < 0 ? host_cpu_count() : numThreads;
    if (threads < 2) return;
    control_ = static_cast<SweepControl*>(
        vmalcp_handler(task_pool(), sizeof(SweepControl), kPoolCleared));
    if (!control_) return;  // no storage: the steps go to the host, same result
    try {
      if (zpsweepi(threads, n, 0, 0, control_) != 0) release();
    } catch (...) {  // the pool could not be made and the step ends
      release();
      throw;
    }
  }
  ~OwnedControl() { release(); }
  OwnedControl(const OwnedControl&) = delete;
  OwnedControl& operator=(const OwnedControl&) = delete;
  SweepControl* get() const { return control_; }

 private:
  void release() {
    if (!control_) return;
    SweepControl* control = control_;
    control_ = nullptr;
    zpsweept(control);
    vmfree_handler(task_pool(), control, 0, kPoolRelease);
  }
  SweepControl* control_ = nullptr;
};

void copy_diagonal(double* x, int n, double* diag, bool flush_tiny) {
  for (int i = 0; i < n; ++i) {
    const double d = diagonal(x, i);
    diag[i] = flush_tiny && std::fabs(d) <= kRoundoff ? 0.0 : d;
  }
}

// The eligible pivot of largest score, or -1 when none scores above
// |epsilon|. A later candidate must beat the best so far by more than the
// tie margin, so near-ties go to the lower index. `current` is the matrix's
// diagonal as a threaded sweep keeps it (null: read it from x).
int select_pivot(const double* x, const double* current, int k0, int kn, const char* df,
                 const double* diag, double epsilon) {
  double bar = std::fabs(epsilon);
  int pivot = -1;
  for (int i = k0; i <= kn; ++i) {
    if (df[i] != '0' || (diag && diag[i] == 0.0)) continue;
    double score = current ? current[i] : x[zisub(i, i)];
    if (diag) score /= std::fabs(diag[i]);
    if (epsilon < 0.0) score = std::fabs(score);
    if (score > bar) {
      pivot = i;
      bar = score + kPivotTieMargin;
    }
  }
  return pivot;
}

void zero_row_and_column(double* x, int i, int n) {
  std::fill_n(x + zisub(i, 0), i + 1, 0.0);
  for (int j = i + 1; j < n; ++j) x[zisub(j, i)] = 0.0;
}

// Sweeps, in the order select_pivot gives, at most `limit` pivots of
// k0..kn; returns how many it swept.
int sweep_passes(double* x, int k0, int kn, int n, char* df, const double* diag, double* work,
                 double epsilon, double* logdet, SweepControl* control, int limit) {
  // The step itself refuses only pivots that are zero or denormal in
  // practice; the size test is the selection's.
  const double tol = epsilon >= 0.0 ? std::min(epsilon, kTinyNormal) : -kTinyNormal;
  const double* current = control ? zpsweepdiag(control, x) : nullptr;
  int swept = 0;
  for (int pass = k0; pass <= kn && swept < limit; ++pass) {
    const int p = select_pivot(x, current, k0, kn, df, diag, epsilon);
    if (p < 0) break;
    const double pivot_value = diagonal(x, p);
    const char status = df[p];
    if (control)
      zpsweep(x, p, df, tol, control);
    else
      zsweep(x, p, n, df, work, tol);
    // A refused step changed nothing, so every further pass would choose
    // the same pivot again: stop, and count only pivots really swept.
    if (df[p] == status) break;
    ++swept;
    if (logdet) *logdet += std::log(pivot_value);
  }
  return swept;
}

}  // namespace

int zsweepr(double* x, int k0, int kn, int n, char* df, double* diag, double* work,
            double epsilon, double* logdet, const tchar* options, SweepControlPtr control,
            int numThreads) {
  OwnedControl owned(control ? 0 : n, numThreads);
  if (!control) control = owned.get();
  if (logdet) *logdet = 0.0;
  if (has_option(options, '0')) std::fill_n(df, n > 0 ? n : 0, '0');
  if (has_option(options, 'd') && diag) copy_diagonal(x, n, diag, has_option(options, 'f'));
  const int swept = sweep_passes(x, k0, kn, n, df, diag, work, epsilon, logdet, control, kn - k0 + 1);
  if (has_option(options, 'z'))
    for (int i = k0; i <= kn; ++i)
      if (df[i] == '0') zero_row_and_column(x, i, n);
  return swept;
}

int zsweep_leading(double* x, int n, char* df, const double* diag, double* work, int limit) {
  return sweep_passes(x, 0, n - 1, n, df, diag, work, -kTinyNormal, nullptr, nullptr, limit);
}

int zsweep_listed_rows(double* x, int n, int order, char* df, const int* rows, int count, double* diag,
                       double epsilon) {
  std::vector<char> held(df, df + n);
  for (int i = 0; i < n; ++i)
    if (df[i] == '0') df[i] = '2';
  for (int k = 0; k < count; ++k)
    if (rows[k] >= 0 && rows[k] < n && held[rows[k]] == '0') df[rows[k]] = '0';
  std::vector<double> work(static_cast<std::size_t>(order) + 1);
  const int swept = zsweepr(x, 0, n - 1, order, df, diag, work.data(), -std::fabs(epsilon), nullptr, "  ",
                            nullptr, 1);
  for (int i = 0; i < n; ++i)
    if (df[i] == '2') df[i] = held[i];
  return swept;
}
