#include "platform/refit/refit_task_constraints.h"

#include <algorithm>

namespace platform::refit {
namespace {

bool copy_one(const QXPROF_CONSTRAINT* c, int n_parms, LinearConstraint* out) {
  if (!c || c->rel_op < EQUAL || c->rel_op > LEQ) return false;
  out->value = c->val;
  out->rel = c->rel_op;
  if (c->c_type == SINGLE_PARM) {
    out->cols = {c->sp.index};
    out->coefs = {1.0};
  } else if (c->c_type == MULTI_PARM_LINEAR && c->mp.index_h && c->mp.c_vals_h &&
             c->mp.n_parms > 0) {
    out->cols.assign(c->mp.index_h, c->mp.index_h + c->mp.n_parms);
    out->coefs.assign(c->mp.c_vals_h, c->mp.c_vals_h + c->mp.n_parms);
  } else {
    return false;
  }
  return std::all_of(out->cols.begin(), out->cols.end(),
                     [&](int col) { return col >= 0 && col < n_parms; });
}

double level(const LinearConstraint& c, const std::vector<double>& x) {
  double sum = 0;
  for (std::size_t k = 0; k < c.cols.size(); ++k)
    sum += c.coefs[k] * x[static_cast<std::size_t>(c.cols[k])];
  return sum;
}

// How far x is beyond the constraint's limit (0 when it holds).
double excess(const LinearConstraint& c, const std::vector<double>& x) {
  const double r = level(c, x) - c.value;
  if (c.rel == LEQ) return r > 0 ? r : 0;
  if (c.rel == GEQ) return r < 0 ? r : 0;
  return r;
}

bool single(const LinearConstraint& c) {
  return c.cols.size() == 1 && c.coefs[0] == 1.0;
}

void project_relation(const LinearConstraint& c, const std::vector<bool>& fixed,
                      std::vector<double>* x) {
  std::vector<std::size_t> free;
  double norm = 0;
  for (std::size_t k = 0; k < c.cols.size(); ++k)
    if (!fixed[static_cast<std::size_t>(c.cols[k])] && c.coefs[k] != 0) {
      free.push_back(k);
      norm += c.coefs[k] * c.coefs[k];
    }
  const double r = excess(c, *x);
  if (r == 0 || free.empty()) return;
  for (std::size_t k : free) (*x)[static_cast<std::size_t>(c.cols[k])] -= r * c.coefs[k] / norm;
  if (excess(c, *x) == 0) return;
  const std::size_t last = free.back();
  double* v = &(*x)[static_cast<std::size_t>(c.cols[last])];
  *v = (c.value - (level(c, *x) - c.coefs[last] * *v)) / c.coefs[last];
}

}  // namespace

bool copy_constraints(const QXPROF_TASK_DESC& d, int n_parms, std::vector<LinearConstraint>* out) {
  out->clear();
  if (d.constr_type == UNCONSTR) return true;
  if (d.constr_type != SYM_CONSTR) return false;
  for (int i = 0; i < d.constr.sym.n_c; ++i) {
    LinearConstraint c;
    if (!copy_one(d.constr.sym.c_h_h ? d.constr.sym.c_h_h[i] : nullptr, n_parms, &c)) return false;
    out->push_back(std::move(c));
  }
  return true;
}

void project_onto(const std::vector<LinearConstraint>& constraints, std::vector<double>* x) {
  std::vector<bool> fixed(x->size(), false);
  for (const LinearConstraint& c : constraints)
    if (single(c) && c.rel == EQUAL) fixed[static_cast<std::size_t>(c.cols[0])] = true;
  for (const LinearConstraint& c : constraints)
    if (single(c) && c.rel != EQUAL && excess(c, *x) != 0)
      (*x)[static_cast<std::size_t>(c.cols[0])] = c.value;
  for (const LinearConstraint& c : constraints)
    if (!single(c)) project_relation(c, fixed, x);
  for (const LinearConstraint& c : constraints)
    if (single(c) && c.rel == EQUAL) (*x)[static_cast<std::size_t>(c.cols[0])] = c.value;
}

}  // namespace platform::refit
