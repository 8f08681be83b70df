// The analytic derivatives of the objective's terms, _WEIGHT_ times _LOSS_,
// with respect to the parameters, for the check that the estimates minimise
// the loss (loss_stationarity.cpp). The compiler forms them on demand: the
// fit's own passes skip their statements, and a pass that sums them runs
// every derivative statement of the program.
#pragma once

struct RUVACOM;

struct LossTerms {
  // Cells: first derivatives (nparm) and second derivatives (packed lower
  // triangle) of _LOSS_ and of _WEIGHT_; a zero derivative reads a cell
  // holding 0. weight1 and weight2 are null when _WEIGHT_ does not depend
  // on the parameters.
  double** loss1;
  double** loss2;
  double** weight1;
  double** weight2;
  // Where the compiler factors the second derivatives (loss2 and weight2
  // are then null, nproducts may be 0): the second derivatives of _LOSS_
  // (objective 0) and of _WEIGHT_ (1) are sums of products, product k being
  // coefficients[k] times u v' + v u' of the first-derivative vectors u =
  // vectors[left] and v = vectors[right], or times u u' when left is right.
  // vectors holds nvectors vectors of nparm cells one after the other.
  struct Product {
    int objective, left, right;
  };
  int nproducts;
  Product* products;
  double** coefficients;
  int nvectors;
  double** vectors;
  bool factored;
  double* rows;  // (nvectors + 1) nparm: one observation's vectors and a scaled one
  // The current pass adds each used observation's terms to the sums: the
  // objective's gradient (nparm) and curvature (packed).
  bool summing;
  double* gradient;
  double* curvature;
  double* scratch;  // 2 nparm: one observation's first derivatives
};

// At set-up, once the parameters are final and before the program is
// generated: asks for the derivatives on demand and binds their cells into
// ctx->loss_terms. Leaves it null when the program has no _LOSS_ or the
// compiler cannot differentiate it (a function without a derivative).
void request_loss_derivatives(RUVACOM* ctx);

// The derivative statements a run of the program executes, as the compiler
// counts them (cmprun): 0 none (_MODEL_ = 1), 1 the fit's, 2 also those of
// the loss terms, in a pass that sums them.
int derivative_level(const RUVACOM* ctx);
