// The curvature measures of nonlinearity of a fit (maximum and RMS,
// intrinsic and parameter-effects, scaled by the standard radius
// ρ = sqrt(p·s²)), their critical value 1/sqrt(F(1 − α; r, n − r)) (r the
// rank) and Box's bias of the estimates, left in the curvature block of the
// diagnostics record. Every sum uses the √w-scaled rows x = √w·d and second
// derivatives √w·H of the used observations, so C = (Σ x x')⁻¹ and
// T = Σ x h' (h the packed √w·H) are those of the diagnostics.
#pragma once

struct RUVACOM;

// The measures the step asks for, after the diagnostics of the BY group;
// 1 (with a log line) when the standard radius is missing or tiny or a
// parameter depends linearly on others, else 0.
int nonlinearity_measures(RUVACOM* ctx);

// The maximum parameter-effects (`pe`) and intrinsic (`in`) curvatures,
// searched over directions h with the extension "qxznlo".
void max_inpe_curv_noacc(RUVACOM* ctx, bool pe, bool in);

// Reads the current observation of a pass into z (the p first and p(p+1)/2
// second derivatives, each times √w); false when observation i is not used.
bool curvature_row(RUVACOM* ctx, long i, bool ran, double* z);
