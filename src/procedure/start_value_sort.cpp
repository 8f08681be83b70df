// Sorting a parameter's starting values and dropping near-duplicates.
#include <cmath>
#include <cstring>

#include "host/services.h"
#include "procedure/step_memory.h"
#include "procedure/starting_values.h"

namespace {
constexpr double kDuplicateTolerance = 1e-10;
constexpr int kMsgOneDuplicate = 18;
constexpr int kMsgDuplicates = 92;
}  // namespace

int RestoreHeap(double* a, int* index, int currindx, int k, int n, int s) {
  const double value = a[currindx];
  while (2 * k <= n) {
    int child = 2 * k;  // 1-based
    if (child < n && a[index[child] * s] > a[index[child - 1] * s]) ++child;
    if (!(a[index[child - 1] * s] > value)) break;
    index[k - 1] = index[child - 1];
    k = child;
  }
  return k - 1;
}

void IndexVec(double* a, int n, int* index, int stride) {
  if (n < 1) return;
  for (int i = 0; i < n; ++i) index[i] = i;
  for (int k = n / 2; k >= 1; --k) {
    const int current = index[k - 1] * stride;
    index[RestoreHeap(a, index, current, k, n, stride)] = current / stride;
  }
  for (int m = n; m > 1; --m) {
    const int current = index[m - 1] * stride;
    index[m - 1] = index[0];
    index[RestoreHeap(a, index, current, 1, m - 1, stride)] = current / stride;
  }
}

void RemoveDups(double* values, int* npoint, CMPSYM* sym) {
  const int n = *npoint;
  if (n < 1) return;
  int* index = ruva_new_or_exit<int>(n);
  IndexVec(values, n, index, 1);
  // Of a run of values each within the tolerance of the next, the last stays.
  int kept = 0;
  for (int i = 0; i < n; ++i) {
    const bool duplicate =
        i + 1 < n && std::fabs(values[index[i]] - values[index[i + 1]]) < kDuplicateTolerance;
    if (!duplicate) index[kept++] = index[i];
  }
  if (kept < n) xpmlog(305, kept == n - 1 ? kMsgOneDuplicate : kMsgDuplicates, sym->nameleng, sym->name);
  auto* sorted = ruva_new_or_exit<double>(kept);
  for (int i = 0; i < kept; ++i) sorted[i] = values[index[i]];
  std::memcpy(values, sorted, sizeof(double) * static_cast<std::size_t>(kept));
  ruva_free(sorted);
  ruva_free(index);
  *npoint = kept;
}
