// The NonlinearityMeasures factoid: the maximum and RMS curvatures, their
// critical value and the raw and projected residual variances of the BY
// group, as the diagnostics left them.
#include "host/missing.h"
#include "host/output_tables.h"
#include "host/services.h"
#include "procedure/procedure_context.h"
#include "results/diagnostics_record.h"
#include "results/result_output.h"
#include "results/result_tables.h"

namespace {

constexpr int kMsgTitle = 190, kMsgMaxIn = 191, kMsgRmsIn = 192, kMsgMaxPe = 193, kMsgRmsPe = 194;
constexpr int kMsgCritical = 195, kMsgRawVariance = 196, kMsgProjectedVariance = 197;
constexpr int kSetValue = 164;

// One fact: four decimals in a width of 8, or the BEST6. format.
void fact(ResultTable* t, int label, double value, bool best) {
  WOB_PARM_BLK_STR pb[4] = {wob_text(296, result_text(label)), wob_double(287, value),
                            wob_int(272, 8), wob_int(270, 4)};
  if (best) pb[2] = wob_text(340, yoltxt("BEST6.", -1));
  wobmth(t->data, nullptr, kSetValue, best ? 3 : 4, pb);
}

}  // namespace

void print_nonlinearity_meas_factoid(RUVACOM* ruvaptr) {
  const RUVADIAG* d = ruvaptr->ruvadiag;
  if (!d || !d->curv_blck) return;
  const DiagCurvature* cv = d->curv_blck;
  ResultTable t(ruvaptr->yolman);
  if (!t.create_factoid("NonlinearityMeasures", result_text(kMsgTitle),
                        "stat.ruva.NonlinearityMeasures"))
    return;
  fact(&t, kMsgMaxIn, cv->max_in_curv, false);
  fact(&t, kMsgRmsIn, cv->rms_in_curv, false);
  fact(&t, kMsgMaxPe, cv->max_pe_curv, false);
  fact(&t, kMsgRmsPe, cv->rms_pe_curv, false);
  fact(&t, kMsgCritical, cv->curv_crit_val, false);
  fact(&t, kMsgRawVariance, d->com_blck->var, true);
  fact(&t, kMsgProjectedVariance,
       d->proj_resd_blck ? d->proj_resd_blck->proj_variance : missing_value(), true);
  wobmth(t.data, nullptr, 299, 0, nullptr);
}
