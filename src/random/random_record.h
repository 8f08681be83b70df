// The procedure's random record: a stream followed by a single-draw and a
// buffer-fill operation for each of twenty distributions. A single draw
// returns one variate, or the special missing value for invalid parameters;
// a buffer fill writes the first `NBuffer` elements of `VBuffer` exactly as
// that many single draws would, returning 0, or 1 without a buffer.
#pragma once

#include <cstdint>

#include "random/stream.h"

struct MERSENNE_RAND;
using MRandPtr = MERSENNE_RAND*;
using MRandom = MERSENNE_RAND;  // the record as the procedure's bootstrap control names it

struct MERSENNE_RAND : ZRANSTR {
  double (*GetOneVariateBERNOULLI)(MRandPtr q, double p);
  double (*GetOneVariateBETA)(MRandPtr q, double alpha, double beta);
  double (*GetOneVariateBINOMIAL)(MRandPtr q, std::int64_t n, double p);
  double (*GetOneVariateCAUCHY)(MRandPtr q);
  double (*GetOneVariateCHISQUARE)(MRandPtr q, double df);
  double (*GetOneVariateERLANG)(MRandPtr q, std::int32_t alpha);
  double (*GetOneVariateEXPONENTIAL)(MRandPtr q);
  double (*GetOneVariateF)(MRandPtr q, double d1, double d2);
  double (*GetOneVariateGAMMA)(MRandPtr q, double alpha);
  double (*GetOneVariateGEOMETRIC)(MRandPtr q, double pr);
  double (*GetOneVariateHYPERGEOMETRIC)(MRandPtr q, std::int64_t nn, std::int64_t n,
                                        std::int64_t k);
  double (*GetOneVariateLOGNORMAL)(MRandPtr q);
  double (*GetOneVariateNEGBINOMIAL)(MRandPtr q, double prob_succ, double num_succ);
  double (*GetOneVariateNORMAL)(MRandPtr q);
  double (*GetOneVariatePOISSON)(MRandPtr q, double lambda);
  double (*GetOneVariateTABLE)(MRandPtr q, std::int64_t tblcnt, double* tblptr);
  double (*GetOneVariateT)(MRandPtr q, double df);
  double (*GetOneVariateTRIANGLE)(MRandPtr q, double h);
  double (*GetOneVariateUNIFORM)(MRandPtr q);
  double (*GetOneVariateWEIBULL)(MRandPtr q, double shape, double scale);

  int (*FillTheBufferBERNOULLI)(MRandPtr q, double p);
  int (*FillTheBufferBETA)(MRandPtr q, double alpha, double beta);
  int (*FillTheBufferBINOMIAL)(MRandPtr q, std::int64_t n, double p);
  int (*FillTheBufferCAUCHY)(MRandPtr q);
  int (*FillTheBufferCHISQUARE)(MRandPtr q, double df);
  int (*FillTheBufferERLANG)(MRandPtr q, std::int32_t alpha);
  int (*FillTheBufferEXPONENTIAL)(MRandPtr q);
  int (*FillTheBufferF)(MRandPtr q, double ndf, double ddf);
  int (*FillTheBufferGAMMA)(MRandPtr q, double alpha);
  int (*FillTheBufferGEOMETRIC)(MRandPtr q, double pr);
  int (*FillTheBufferHYPERGEOMETRIC)(MRandPtr q, std::int64_t nn, std::int64_t n, std::int64_t k);
  int (*FillTheBufferLOGNORMAL)(MRandPtr q);
  int (*FillTheBufferNEGBINOMIAL)(MRandPtr q, double prob_succ, double num_succ);
  int (*FillTheBufferNORMAL)(MRandPtr q);
  int (*FillTheBufferPOISSON)(MRandPtr q, double lambda);
  int (*FillTheBufferTABLE)(MRandPtr q, std::int64_t tblcnt, double* tblptr);
  int (*FillTheBufferT)(MRandPtr q, double df);
  int (*FillTheBufferTRIANGLE)(MRandPtr q, double h);
  int (*FillTheBufferUNIFORM)(MRandPtr q);
  int (*FillTheBufferWEIBULL)(MRandPtr q, double shape, double scale);
};

// Sets every byte of the record to zero, as the procedure does before each
// (re)initialisation.
void zmrsClear(MERSENNE_RAND* q);
// Wires the record to its own method record and state area, initialises
// the stream (its status stays in `Status`), installs the forty variate
// operations; 0 when the stream is usable, 1 otherwise or for a null record.
int zmrsrnd(MERSENNE_RAND* q);
// Has no effect; returns 0.
int zmrsetp(int randgen, MERSENNE_RAND* q);
// Restarts the same sequence from `seed`.
void zmrsReset32(std::uint64_t seed, MERSENNE_RAND* q);
// Copies the user seed and key, the seed and key, and the 32-bit engine's
// words and position from `from` to `to`.
void zmrsCloneState32(MERSENNE_RAND* from, MERSENNE_RAND* to);
