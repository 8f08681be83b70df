// The diagnostics record of a step: the observation-level fit diagnostics of
// the current BY group (residuals and their expectation, projected residuals,
// tangential and Jacobian leverages, local influence), grouped in blocks
// that are allocated only when some request needs them. The OUTPUT pass
// reads the file of saved diagnostics through this record.
//
// Every statistic treats an observation of weight w as the row sqrt(w)·(d, H)
// of derivatives and second derivatives with residual sqrt(w)·e, so that a
// frequency weight gives the same fit as replicated rows. With X = Σ w d d'
// over the used observations, C = X⁻¹ and K = Σ w e H:
//   tangential leverage  w d'Cd,  Jacobian leverage  w d'(X − K)⁻¹d;
//   local influence      the leading eigenvector of J(X − K)⁻¹J', found
//                        scale-free through B = L K L' with X = R R', L = R⁻¹.
#pragma once

#include <cstdint>

#include "host/dataset_types.h"

struct RUVACOM;
struct CMPLIST;

// The blocks, in request order.
enum DiagBlock {
  kCommonBlock,
  kQrBlock,
  kRawBlock,
  kProjectedBlock,
  kLeverageBlock,
  kInfluenceBlock,
  kCurvatureBlock,
  kRegressorsBlock,
  kDependentBlock,
  kDiagBlocks
};

struct DiagCommon {
  std::int32_t obs_index;  // 1-based number of the observation last handled by the table pass
  double mse;              // the error variance: SIGSQ= when given, else the fitted mean square
  double var;              // the fitted mean square: weighted SSE over its degrees of freedom
  double weight;           // the current observation's weight
  double* xpx;             // X = Σ w d d' [q]
  double* xpx_inv;         // C = X⁻¹ (generalised) [q]
};

struct DiagFactor {
  double* R;    // lower-triangular, X = R R' [q]
  double* L;    // R⁻¹ [q]
  bool usable;  // R could be inverted
};

struct DiagRaw {
  double residual, stu_residual, raw_expec;
  double* temp_raw_expec;  // Σ w (mse/2) tr(HC) d [p]
};

struct DiagProjected {
  double proj_residual, stu_proj_residual;
  double proj_variance;  // Σ w (e − z'u)² over the null-space dimension
  double dim_Pxh_null;   // used observations less the trace of the projection
  double* temp_WpW_inv;  // G = (Σ w z z')⁻¹ [m(m+1)/2]
  double* temp_proj_e;   // u = G Σ w e z [m]
};

struct DiagLeverage {
  double tan_leverage, jac_leverage;
  double* xpx_eh_inv;  // (X − K)⁻¹ [q]
};

struct DiagInfluence {
  double curr_lmax;
  double* lmax;    // per observation of the BY group [n]
  long n;          // its length
  double* temp_B;  // K, then B = L K L' [q]
};

// The curvature measures of nonlinearity and Box bias (curvature_measures.h),
// from the same √w-scaled rows as every other statistic.
struct DiagCurvature {
  char current_flag;       // 'P' or 'I' while that maximum is searched
  double std_radius;       // ρ = sqrt(p·s²)
  double max_in_curv, max_pe_curv, rms_in_curv, rms_pe_curv;
  double curv_crit_val;    // 1/sqrt(F(1 − α; r, n − r)), r the rank
  double* boxs_bias;       // [p]
  double* per_boxs_bias;   // [p]
  double* h_dir;           // the direction of the maximum search [p]
  double* temp_proj_hess;  // T = Σ w d h', h the packed second derivatives [p·q]
  void* curv_noacc_temps;  // the direction sums of the maximum search while it runs
};

// The data-set variables the model's prediction depends on, for the fit
// graphics and the table's regressor columns.
struct DiagRegressors {
  std::int32_t num_regressors;
  double* xmins;         // each one's range over the BY group [num_regressors]; 0 with more than two
  double* xmaxs;
  double** regressors;   // their current values
  CMPLIST* used_regs;    // their symbols
};

struct DiagDependent {
  double predicted, observed;
};

struct RUVADIAG {
  XC_FILE* diag_file_ptr;  // the saved diagnostics of the BY group (saved_diagnostics.h), or null
  const unsigned char* obs_computable_flag;  // the used-observation bitmap of the BY group
  long obs_computable_bytes;
  char required[kDiagBlocks];  // 1 when the block is required in the current call
  DiagCommon* com_blck;
  DiagFactor* x_qr_blck;
  DiagRaw* raw_resd_blck;
  DiagProjected* proj_resd_blck;
  DiagLeverage* lev_blck;
  DiagInfluence* inf_blck;
  DiagCurvature* curv_blck;
  DiagRegressors* regs_blck;
  DiagDependent* dep_blck;
  // Bound to the curvature accelerations, which nothing computes yet: missing.
  double not_computed;
  // The residual expectation is wanted (RESEXPEC=, a graph); without it the
  // raw block serves only the residuals the listing shows.
  char raw_expectation;
};

// Packed sizes in 64-bit arithmetic: n(n+1)/2, and for p parameters the
// length m = p + p(p+1)/2 of the augmented derivative vector.
inline std::int64_t diag_packed(std::int64_t n) { return n * (n + 1) / 2; }
inline std::int64_t diag_augmented(std::int64_t p) { return p + diag_packed(p); }

// Marks in flags[0..kDiagBlocks) the blocks the step's requests need
// (graphs, OUTPUT options 19 to 23, the nonlinearity tables, the residual
// bootstrap with JAC scaling) and sets `save_diag_flag` when an OUTPUT
// statement needs them; with any block, the common and factor blocks too.
// Returns the number of blocks marked before that forcing.
int set_reqd_blcks(RUVACOM* ctx, int* flags);

// Marks in given[0..kSavedDiagnostics) the OUTPUT diagnostics (options 19
// to 23: RESEXPEC=, PROJRES=, PROJSTUDENT=, J=, LMAX=) that some OUTPUT
// statement gives, in the saved record's order; true when any is given.
bool output_diagnostics(const RUVACOM* ctx, bool* given);

// Creates or refreshes `ruvadiag` and the required blocks for the current
// BY group; a memory shortfall ends the step with 1016.
void alloc_memory(RUVACOM* ctx, const int* flags);

// Lists in the regressors block the numeric data-set variables the model's
// prediction depends on; returns their number.
int determine_num_indep(RUVACOM* ctx);

// The per-group sums, inverses, factor and local influence (several passes
// over the BY group).
void intermediates(RUVACOM* ctx);

// One observation's leverages at the current model-program state, each
// times the weight (missing without a positive weight): flag 0 the
// tangential only, 1 the Jacobian only, anything else both.
void leverages(RUVACOM* ctx, double* tan_leverage, double* jac_leverage, int flag);

// In-place generalised inverse of a packed symmetric matrix: pivots that
// cannot be swept leave zero rows and columns.
void invert(double* mat, int dim);

// Whether observation i of the BY group entered the fit.
bool diag_obs_used(const RUVADIAG* diag, long i);
