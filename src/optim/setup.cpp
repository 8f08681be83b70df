// Setting up a run record: constraint capacity (`zoptcnt`), one constraint
// (`zoptac`), and the defaults and work storage (`zoptsu`). Every routine
// stops at the first failed allocation and returns 1, leaving what it set.
#include <algorithm>
#include <cstring>

#include "host/pool.h"
#include "optim/optimiser_internal.h"

namespace {

template <class T>
T* take(ZOPTGLOBAL* g, long count) {
  return static_cast<T*>(vmalcp_handler(g->mem.pool, count * static_cast<long>(sizeof(T)),
                                        kPoolCleared));
}

// A work vector is replaced only by a larger one.
bool grow(ZOPTGLOBAL* g, double*& vector, long& bytes, long count) {
  const long wanted = count * static_cast<long>(sizeof(double));
  if (vector && bytes >= wanted) return true;
  double* larger = take<double>(g, count);
  if (!larger) return false;
  vector = larger;
  bytes = wanted;
  return true;
}

// `rows` row pointers into one block of rows by cols doubles.
double** take_rows(ZOPTGLOBAL* g, int rows, int cols) {
  double** pointers = take<double*>(g, rows);
  double* block = take<double>(g, static_cast<long>(rows) * cols);
  if (!pointers || !block) return nullptr;
  for (int r = 0; r < rows; ++r) pointers[r] = block + static_cast<long>(r) * cols;
  return pointers;
}

void apply_defaults(ZOPTOPT& o) {
  if (o.ceps == 0) o.ceps = 1e-10;
  if (o.maxiters == 0) o.maxiters = 100;
  if (o.maxsubiters == 0) o.maxsubiters = 20;
  if (o.rel_lagr == 0) o.rel_lagr = 0.1;
  if (o.ndec == 0) o.ndec = 7;
  if (o.ndecfmt == 0) o.ndecfmt = 99;
}

bool allocate_state(ZOPTGLOBAL* g, int n, int c) {
  ZOPTSTATE& st = g->state;
  ZOPTMARQU& mq = *st.marqu;
  const long order = n + c + 1;
  if (!(st.pparms = take<double>(g, n)) || !(st.parms = take<double>(g, n))) return false;
  if (!(st.grad = take<double>(g, n + 1))) return false;
  if (!(mq.delta = take<double>(g, n + c + 2))) return false;
  g->mem.hesl = order * (order + 1) / 2 * static_cast<long>(sizeof(double));
  if (!(st.hes = take<double>(g, order * (order + 1) / 2))) return false;
  return (mq.savhes = take<double>(g, order * (order + 1) / 2)) != nullptr;
}

bool allocate_work(ZOPTGLOBAL* g, int m) {
  ZOPTMEM& mem = g->mem;
  return grow(g, mem.wrk1, mem.siz1, static_cast<long>(m) * (m + 1) / 2) &&
         grow(g, mem.wrk2, mem.siz2, 2L * m) && grow(g, mem.wrk3, mem.siz3, m) &&
         grow(g, mem.wrk4, mem.siz4, m) &&
         (g->state.marqu->singrows = take<char>(g, m)) != nullptr;
}

bool allocate_sweep(ZOPTGLOBAL* g, int m, int c) {
  auto* info = take<ZMATINFO>(g, 1);
  if (!info) return false;
  *info = {optim::kMessageSet, 203, g->opts.pname, g->opts.ndec, g->opts.ndecfmt};
  long bytes = 0;
  ZSWPN* swpi = zswpnsu(g->mem.pool, m + c, info, &bytes, g->opts.moorepenrose);
  if (!swpi) return false;
  g->state.swpi = swpi;
  g->state.marqu->sweepx = swpi->sweepx;
  swpi->sing = g->opts.sing;
  swpi->moorep = 0;
  return true;
}

// Storage of the working constraints: factors, projection and multipliers.
bool allocate_constraints(ZOPTGLOBAL* g, int n, int c) {
  ZOPTMARQU& mq = *g->state.marqu;
  if (!(mq.lagrange = take<double>(g, c)) || !(g->state.con = take<double>(g, c)) ||
      !(mq.nlagr = take<double>(g, c)))
    return false;
  if (c == 0) return true;
  if (!(mq.singrowsc = take<char>(g, c)) || !(mq.q = take<double>(g, static_cast<long>(n) * (n + 1) / 2)))
    return false;
  if (!(mq.beta = take<double>(g, c)) || !(mq.mat = take_rows(g, c, n)) ||
      !(mq.fmat = take_rows(g, c, n)) || !(mq.Q = take_rows(g, n, n)))
    return false;
  if (!(mq.z = take<double*>(g, n)) || !(mq.pk = take<double>(g, std::max(n, c))) ||
      !(mq.yk = take<double>(g, n)) || !(g->state.pmap = take<int>(g, n)) ||
      !(mq.correction = take<double>(g, std::max(n, c))) || !(mq.crossing = take<double>(g, n)))
    return false;
  for (int i = 0; i < n; ++i) g->state.pmap[i] = i;
  return true;
}

// Sorts the nnc terms of a nonlinear part by parameter row: count the terms
// per row, turn the counts into row ends, then place each term at the
// decremented end of its row (so a row's terms stand in reverse input order).
NCONSTR* build_nonlinear(ZOPTGLOBAL* g, const int* ncols, const int* nrows, double** nmat, int nnc) {
  const int n = optim::nparms(g);
  for (int k = 0; k < nnc; ++k)
    if (nrows[k] < 0 || nrows[k] >= n || ncols[k] < 0 || ncols[k] >= n) return nullptr;
  auto* nc = take<NCONSTR>(g, 1);
  if (!nc || !(nc->rows = take<int>(g, n + 1)) || !(nc->cols = take<int>(g, nnc)) ||
      !(nc->mat = take<double*>(g, nnc)))
    return nullptr;
  for (int k = 0; k < nnc; ++k) ++nc->rows[nrows[k]];
  for (int r = 1; r < n; ++r) nc->rows[r] += nc->rows[r - 1];
  nc->rows[n] = nnc;
  for (int k = 0; k < nnc; ++k) {
    const int at = --nc->rows[nrows[k]];
    nc->cols[at] = ncols[k];
    nc->mat[at] = nmat[k];
  }
  nc->n = nnc;
  return nc;
}

}  // namespace

int zoptcnt(int maxeq, int maxineq, ZOPTGLOBAL* g) {
  if (!g || maxeq < 0 || maxineq < 0) return 1;
  ZOPTSTATE& st = g->state;
  st.max_conp = maxeq + maxineq;
  st.max_conp_i = maxineq;
  if (!st.marqu && !(st.marqu = take<ZOPTMARQU>(g, 1))) return 1;
  if (st.max_conp == 0) return 0;
  if (!(st.conp = take<CONSTRAINT*>(g, st.max_conp))) return 1;
  if (st.max_conp_i > 0 && !(st.conp_i = take<CONSTRAINT*>(g, st.max_conp_i))) return 1;
  return 0;
}

int zoptac(int* cols, double** mat, int nc, double* val, int inequality, int* ncols, int* nrows,
           double** nmat, int nnc, char* name, void* user, ZOPTGLOBAL* g) {
  if (!g || !g->state.marqu || !val || nc < 0 || nnc < 0 || (nc > 0 && (!cols || !mat))) return 1;
  ZOPTSTATE& st = g->state;
  ZOPTMARQU& mq = *st.marqu;
  // Equalities are limited to their own share of the working list, which
  // must still hold every inequality once they are all active.
  if (inequality ? mq.ninequal >= st.max_conp_i : mq.perm >= st.max_conp - st.max_conp_i) return 1;
  for (int k = 0; k < nc; ++k)
    if (cols[k] < 0 || cols[k] >= optim::nparms(g)) return 1;
  auto* con = take<CONSTRAINT>(g, 1);
  if (!con || !(con->mat = take<double*>(g, nc)) || !(con->cols = take<int>(g, nc))) return 1;
  if (nc > 0) {
    std::memcpy(con->mat, mat, sizeof(double*) * static_cast<std::size_t>(nc));
    std::memcpy(con->cols, cols, sizeof(int) * static_cast<std::size_t>(nc));
  }
  con->val = val;
  con->name = name;
  con->user = user;
  con->n = nc;
  if (nnc > 0) {
    if (!ncols || !nrows || !nmat || !(con->nc = build_nonlinear(g, ncols, nrows, nmat, nnc))) return 1;
    ++mq.ruvacon;
  }
  if (inequality)
    st.conp_i[mq.ninequal++] = con;
  else
    st.conp[mq.perm++] = con;
  return 0;
}

int zoptsu(ZOPTGLOBAL* g) {
  if (!g || !g->mem.pool || g->opts.num_parms < 1) return 1;
  if (!g->state.marqu && zoptcnt(0, 0, g) != 0) return 1;
  apply_defaults(g->opts);
  const int n = g->opts.num_parms;
  const int c = g->state.max_conp;
  const int m = std::max(n, c) + 1;
  if (!allocate_state(g, n, c) || !allocate_work(g, m) || !allocate_sweep(g, m, c) ||
      !allocate_constraints(g, n, c))
    return 1;
  std::memset(g->opts.estype, ' ', sizeof g->opts.estype);
  g->state.objscale = 1;
  LINESRCH& ls = g->lnsrch;
  ls.damp = ls.pdamp = 1;
  ls.linesearch = g->opts.linesearch;
  ls.gradient = g->state.grad;
  ls.user_ptr = g;
  return 0;
}
