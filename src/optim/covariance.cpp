// Covariance under working constraints (`zoptcv`) and projection of a vector
// onto their null space (`zoptprv`). With no independent working row the
// caller forms the covariance itself and vectors stay as they are; the
// constrained forms come with the working-constraint factorisation, which
// is not built yet (no working row can form, see active_set.cpp).
#include "optim/zopt_internal.h"

int zoptcv(ZOPTGLOBAL* /*g*/) { return 0; }

void zoptprv(ZOPTGLOBAL* /*g*/, double* /*vec*/, int /*n*/) {}

