// The single-draw and buffer-fill variate operations that a random record
// carries. Uniforms come from the stream's `rangen`; invalid parameters give
// the special missing value and draw nothing. A rejection step that cannot
// accept within its cap of trials also gives the special missing value.
#pragma once

#include <cstdint>

#include "random/random_record.h"

double GetOneVariateUNIFORM(MRandPtr q);
// Standard normal by the polar method; the second deviate of a pair is kept
// for the next NORMAL, LOGNORMAL or T draw.
double GetOneVariateNORMAL(MRandPtr q);
double MakeNormalSequence(MRandPtr q);
// exp of the next NORMAL deviate, sharing its pair.
double GetOneVariateLOGNORMAL(MRandPtr q);
// -log u.
double GetOneVariateEXPONENTIAL(MRandPtr q);
// x / y of a point drawn uniformly in the disc of radius 1/2.
double GetOneVariateCAUCHY(MRandPtr q);
// Triangular on [0, 1] with mode h in [0, 1].
double GetOneVariateTRIANGLE(MRandPtr q, double h);
// scale (-log u)^(1/shape); both parameters positive.
double GetOneVariateWEIBULL(MRandPtr q, double shape, double scale);

// Gamma with shape alpha >= 0 and scale 1: Cheng's GB above 1, a two-piece
// envelope for the fractional part at or below 1.
double GetOneVariateGAMMA(MRandPtr q, double alpha);
// GAMMA of the integer shape.
double GetOneVariateERLANG(MRandPtr q, std::int32_t alpha);
// 2 GAMMA(df / 2), df > 0.
double GetOneVariateCHISQUARE(MRandPtr q, double df);
// Z / sqrt(2 GAMMA(df / 2) / df), the normal drawn first; df >= 0.1.
double GetOneVariateT(MRandPtr q, double df);
// Beta with positive finite shapes: Cheng's BB or BC, the switching
// algorithm below 1, closed forms when a shape is 1.
double GetOneVariateBETA(MRandPtr q, double alpha, double beta);
// (d2 B / d1) / (1 - B) for B = BETA(d1/2, d2/2); +infinity when B is 1.
double GetOneVariateF(MRandPtr q, double d1, double d2);

// 1 with probability p, else 0.
double GetOneVariateBERNOULLI(MRandPtr q, double p);
// Successes in n trials: inversion, or a normal approximation when n > 300
// and both n p and n (1 - p) exceed 5.
double GetOneVariateBINOMIAL(MRandPtr q, std::int64_t n, double p);
// Trials up to and including the first success.
double GetOneVariateGEOMETRIC(MRandPtr q, double pr);
// Successes among k draws without replacement from nn holding n successes.
double GetOneVariateHYPERGEOMETRIC(MRandPtr q, std::int64_t nn, std::int64_t n, std::int64_t k);
// Failures before the num_succ-th success: POISSON of a gamma-mixed mean.
double GetOneVariateNEGBINOMIAL(MRandPtr q, double prob_succ, double num_succ);
// Inversion from zero or from the mode below 85, a normal approximation above.
double GetOneVariatePOISSON(MRandPtr q, double lambda);
// The first category 1 .. tblcnt whose running probability reaches u, else tblcnt + 1.
double GetOneVariateTABLE(MRandPtr q, std::int64_t tblcnt, double* tblptr);

int FillTheBufferUNIFORM(MRandPtr q);
int FillTheBufferNORMAL(MRandPtr q);
int FillTheBufferLOGNORMAL(MRandPtr q);
int FillTheBufferEXPONENTIAL(MRandPtr q);
int FillTheBufferCAUCHY(MRandPtr q);
int FillTheBufferTRIANGLE(MRandPtr q, double h);
int FillTheBufferWEIBULL(MRandPtr q, double shape, double scale);
int FillTheBufferGAMMA(MRandPtr q, double alpha);
int FillTheBufferERLANG(MRandPtr q, std::int32_t alpha);
int FillTheBufferCHISQUARE(MRandPtr q, double df);
int FillTheBufferT(MRandPtr q, double df);
int FillTheBufferBETA(MRandPtr q, double alpha, double beta);
int FillTheBufferF(MRandPtr q, double ndf, double ddf);
int FillTheBufferBERNOULLI(MRandPtr q, double p);
int FillTheBufferBINOMIAL(MRandPtr q, std::int64_t n, double p);
int FillTheBufferGEOMETRIC(MRandPtr q, double pr);
int FillTheBufferHYPERGEOMETRIC(MRandPtr q, std::int64_t nn, std::int64_t n, std::int64_t k);
int FillTheBufferNEGBINOMIAL(MRandPtr q, double prob_succ, double num_succ);
int FillTheBufferPOISSON(MRandPtr q, double lambda);
int FillTheBufferTABLE(MRandPtr q, std::int64_t tblcnt, double* tblptr);

// Installs every single-draw and buffer-fill operation in the record.
void zrand_install_variates(MERSENNE_RAND* q);
