// Distributions whose generators are not part of this build. Installing an
// operation that answers "not computed" keeps every slot of the record
// callable: each returns the special missing value and draws nothing, and
// its buffer fill writes that value through the common fill loop.
#include "random/variate_fill.h"
#include "random/variates.h"

namespace {

template <class... P>
double not_computed(MRandPtr q, P...) {
  zrand_check(q, 1);
  return variates::invalid();
}

template <class... P>
int fill_not_computed(MRandPtr q, P... parameters) {
  return variates::fill<&not_computed<P...>>(q, parameters...);
}

using std::int32_t;
using std::int64_t;

}  // namespace

void zrand_install_pending_variates(MERSENNE_RAND* q) {
  q->GetOneVariateBERNOULLI = &not_computed<double>;
  q->GetOneVariateBETA = &not_computed<double, double>;
  q->GetOneVariateBINOMIAL = &not_computed<int64_t, double>;
  q->GetOneVariateCAUCHY = &not_computed<>;
  q->GetOneVariateCHISQUARE = &not_computed<double>;
  q->GetOneVariateERLANG = &not_computed<int32_t>;
  q->GetOneVariateF = &not_computed<double, double>;
  q->GetOneVariateGAMMA = &not_computed<double>;
  q->GetOneVariateGEOMETRIC = &not_computed<double>;
  q->GetOneVariateHYPERGEOMETRIC = &not_computed<int64_t, int64_t, int64_t>;
  q->GetOneVariateNEGBINOMIAL = &not_computed<double, double>;
  q->GetOneVariatePOISSON = &not_computed<double>;
  q->GetOneVariateTABLE = &not_computed<int64_t, double*>;
  q->GetOneVariateT = &not_computed<double>;
  q->GetOneVariateTRIANGLE = &not_computed<double>;
  q->GetOneVariateWEIBULL = &not_computed<double, double>;

  q->FillTheBufferBERNOULLI = &fill_not_computed<double>;
  q->FillTheBufferBETA = &fill_not_computed<double, double>;
  q->FillTheBufferBINOMIAL = &fill_not_computed<int64_t, double>;
  q->FillTheBufferCAUCHY = &fill_not_computed<>;
  q->FillTheBufferCHISQUARE = &fill_not_computed<double>;
  q->FillTheBufferERLANG = &fill_not_computed<int32_t>;
  q->FillTheBufferF = &fill_not_computed<double, double>;
  q->FillTheBufferGAMMA = &fill_not_computed<double>;
  q->FillTheBufferGEOMETRIC = &fill_not_computed<double>;
  q->FillTheBufferHYPERGEOMETRIC = &fill_not_computed<int64_t, int64_t, int64_t>;
  q->FillTheBufferNEGBINOMIAL = &fill_not_computed<double, double>;
  q->FillTheBufferPOISSON = &fill_not_computed<double>;
  q->FillTheBufferTABLE = &fill_not_computed<int64_t, double*>;
  q->FillTheBufferT = &fill_not_computed<double>;
  q->FillTheBufferTRIANGLE = &fill_not_computed<double>;
  q->FillTheBufferWEIBULL = &fill_not_computed<double, double>;
}
