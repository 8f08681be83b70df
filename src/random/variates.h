// The single-draw and buffer-fill variate operations that a random record
// carries. Uniforms come from the stream's `rangen`; invalid parameters give
// the special missing value and draw nothing.
#pragma once

#include "random/zmrsrnd.h"

double GetOneVariateUNIFORM(MRandPtr q);
int FillTheBufferUNIFORM(MRandPtr q);
// Standard normal by the polar method; the second deviate of a pair is kept
// for the next NORMAL, LOGNORMAL or T draw.
double GetOneVariateNORMAL(MRandPtr q);
int FillTheBufferNORMAL(MRandPtr q);
double MakeNormalSequence(MRandPtr q);
// exp of the next NORMAL deviate, sharing its pair.
double GetOneVariateLOGNORMAL(MRandPtr q);
int FillTheBufferLOGNORMAL(MRandPtr q);
// -log u.
double GetOneVariateEXPONENTIAL(MRandPtr q);
int FillTheBufferEXPONENTIAL(MRandPtr q);

// Installs every single-draw and buffer-fill operation in the record.
void zrand_install_variates(MERSENNE_RAND* q);
// Installs the distributions whose generators this build does not carry:
// each returns the special missing value and draws nothing.
void zrand_install_pending_variates(MERSENNE_RAND* q);
