// One pass of the model program over the observations of the current BY
// group: the objective, and on request the bordered cross-product matrix,
// the gradient, the second-derivative terms and the last-pass sums. The
// grid search, the optimiser callbacks and the estimation driver make their
// passes through it.
#pragma once

struct RUVACOM;

// Makes one pass; returns the number of observations used. The border row
// of `xpx` holds sum w d (f - y) (the optimiser's half gradient) and its
// corner sum w r^2, r = y - f.
long ruvass(RUVACOM* ctx);

// Takes the rows of the cross products one used observation at a time: the
// derivatives d and -r (nparm + 1 values), with the weight the cross
// products give the row.
class PassRows {
 public:
  virtual void add(const double* row, double weight) = 0;

 protected:
  ~PassRows() = default;
};

// ruvass, also handing each row of the cross products to `rows` when it
// forms them (for a factor of the rows themselves, which keeps directions
// that the sums of their products lose to rounding).
long ruvass_with_rows(RUVACOM* ctx, PassRows* rows);

// The same pass at a point other than the fit's (the checks after the fit):
// it forms no last-pass sums and is not kept to stand for another pass.
long pass_off_the_fit(RUVACOM* ctx);

// The weighted cross products J'WJ of the model's derivatives at `point`
// (nparm values) into `xpx` (packed, order nparm + 1, the border as the
// pass forms it) by pass_off_the_fit, whatever the METHOD=; the parameters,
// the fit's matrix and every sum and count of the context are as they were
// afterwards. Returns the number of observations used.
long cross_products_at(RUVACOM* ctx, const double* point, double* xpx);
// The objective the pass forms (the weighted sum of squares, or of _LOSS_)
// at `point` into *objective, by the same pass without derivatives, leaving
// the context as it was. Returns the number of observations used.
long objective_at(RUVACOM* ctx, const double* point, double* objective);
// The pass of cross_products_at that also forms the objective and, when the
// set-up made ctx->loss_terms, sums the derivatives of the objective's terms
// there.
long loss_terms_at(RUVACOM* ctx, const double* point, double* xpx, double* objective);

// Projects the packed symmetric `hess` (order of the optimiser's parameter
// count) onto the free directions of the active linear constraints.
void jovfhes(RUVACOM* ctx, double* hess);

// nhes = Z' H Z (packed, order n) for the packed symmetric H of order m and
// the m by n matrix Z (row-major); wrk holds m doubles.
void com_zhz(const double* hes, int m, const double* z, int n, double* nhes, double* wrk);

// Makes the group's next observation current: true, or false at the end of
// the group and after a read error (reported), which ends the pass.
bool read_group_observation(RUVACOM* ctx);

// Moves the current observation's values into the program's variables
// (through the vector's own operation when it has one).
void move_observation(RUVACOM* ctx);

// Sets `nobs` to the number of observations of the current BY group.
void determine_n_obs(RUVACOM* ctx);
