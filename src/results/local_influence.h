// The direction of maximum local influence (LMAX) of a BY group's fit.
#pragma once

struct RUVACOM;

// From K = Σ w e H (packed, order p) and the factor L of the diagnostics
// record: B = L K L' and its leading eigenpair (λ, v). When λ > 0.5 each
// used observation gets sqrt(w) d'δ with δ = L'v, the whole normalised to
// unit length; every other entry (and all of them when λ <= 0.5) is missing.
void compute_lmax(RUVACOM* ctx, const double* K);
