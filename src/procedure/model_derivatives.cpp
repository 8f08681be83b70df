// The compiler does not make analytic derivatives yet: every request is
// reported (305/805) and fails, so a step that needs generated derivatives
// ends in its set-up. A program that supplies every first derivative with
// DER. statements, and needs no second ones, runs. When the compiler offers
// its derivative services, these functions call them.
#include "procedure/model_derivatives.h"

#include "host/services.h"
#include "procedure/ruvacom.h"

namespace {
constexpr int kMsgNoDerivatives = 805;
}  // namespace

bool derive_model(RUVACOM* /*ctx*/, CMPDER** record, CMPLIST* /*objectives*/, CMPLIST* /*wrt*/,
                  int /*option_code*/) {
  *record = nullptr;
  xpmlog(305, kMsgNoDerivatives);
  return false;
}

bool derive_expressions(RUVACOM* /*ctx*/, CMPDER** record, CMPLIST* /*expressions*/) {
  *record = nullptr;
  xpmlog(305, kMsgNoDerivatives);
  return false;
}

void list_derivatives(RUVACOM* /*ctx*/, CMPDER* /*record*/) {}
void list_dependencies(RUVACOM* /*ctx*/) {}

CMPSYM* generated_derivative(const CMPDER* record, const CMPSYM* wrt, int objective) {
  if (!record) return nullptr;
  int at = -1;
  for (int i = 0; i < record->wrt.n && at < 0; ++i)
    if (record->wrt.s[i] == wrt) at = i;
  if (at < 0 || record->nnonzero[at] == 0) return nullptr;
  for (int k = 0; k < record->der.n; ++k)
    if (record->wrtindex[k] == at && record->objindex[k] == objective) return record->der.s[k];
  return nullptr;
}
