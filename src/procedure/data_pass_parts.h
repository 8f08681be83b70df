// The parts of a data pass that its files share: one screened observation,
// and the last pass's own accumulations.
#pragma once

struct RUVACOM;

// A usable observation's values.
struct PassObservation {
  double w;  // weight (_WEIGHT_, or 1)
  double u;  // cross-product weight (_WGTJPJ_, or the weight)
  double y;  // dependent value
  double r;  // residual
  double c;  // weighted contribution to the objective
};

// Beyond these a derivative, residual or contribution would overflow the
// cross products or the objective.
inline constexpr double kLargestDerivative = 1.3407807929942597e152;
inline constexpr double kLargestResidual = 1.3407807929942597e152;
inline constexpr double kLargestContribution = 1.7976931348623155e304;

// The last pass (or a pass that may stand for it): clears its sums and its
// used-observation bitmap and, for the Hougaard skewness, forms the
// covariance it needs in xpx2.
void start_last_pass(RUVACOM* ctx);
// The Hougaard skewness sums of one used observation of the last pass.
void add_hougaard_sums(RUVACOM* ctx, const PassObservation& ob);
