// The sweep-based inverse: one reusable record (`ZSWPN`) through which the
// optimiser inverts its bordered cross-product or Hessian matrix. `zswpn`
// scales the matrix by its absolute trace, sweeps the leading rows with the
// pivoting driver, undoes the scaling and sets the rank and, on request,
// the determinant; with the Moore-Penrose flag it forms the pseudo-inverse
// of the matrix scaled to unit diagonal instead: the same sweep decides the
// rank and inverts the rows it keeps (a matrix of full rank gets the
// sweep's inverse), and with dependent rows that inverse is projected onto
// the matrix's range; laid out as a sweep would leave it.
#pragma once

// Print description for the debug print.
struct ZMATINFO {
  int msg_grp;     // message set of the title
  int title_msg;   // message number of the title
  char** names;    // row and column labels
  int ndec;        // field width handed to the printer
  long ndecfmt;    // decimal code handed to the printer
};
using zmatinfoptr = ZMATINFO*;

struct ZSWPN {
  char debug;          // nonzero: debug print (with itprint and matinfo)
  char itprint;        // nonzero: iteration printing is on
  char moorep;         // nonzero: Moore-Penrose pseudo-inverse instead of the sweep
  char detflag;        // nonzero: compute det
  char zsweepr[3];     // option letters for the sweep driver; two blanks when made
  ZMATINFO* matinfo;   // print description, or null
  int rank;            // rank found by the last zswpn
  int n;               // largest order the record serves
  char* sweepx;        // n pivot statuses ('0', '1', '2')
  double sing;         // the sweep's tolerance; 1e-10 when made
  double det;          // determinant of the full-rank part
  double* inv;         // 2n*n doubles (Moore-Penrose only): the projection's scratch
  double* sweepwrk;    // 3n doubles: step scratch, singular values, reference diagonal (or scales)
};
using zswpptr = ZSWPN*;

// zswpn results besides 0.
inline constexpr int kSwpnOutOfRange = 1;      // order too large, or elements too large
inline constexpr int kSwpnNoPseudoInverse = 2; // the record has no room for the pseudo-inverse

// Makes a record for orders up to n from `pool`; *bytes receives the bytes
// taken. Null when pool is null or an allocation fails.
zswpptr zswpnsu(void* pool, int n, zmatinfoptr mati, long* bytes, int moorep);
// Returns the record and its vectors to `pool`.
void zswpnfr(void* pool, zswpptr swpi);
// Inverts the leading nest rows of the order-nest1 packed matrix xpx in
// place, carrying the border rows nest..nest1-1 along. singrows (may be
// null): nest flags, '1' meaning the row may be swept. Returns 0, or one of
// the codes above (the matrix is then as it was and rank is 0).
int zswpn(double* xpx, char* singrows, int nest, int nest1, zswpptr swpi);
// zswpn's inverse of the rows the sweep without the Moore-Penrose flag
// keeps (with a positive sing, those with positive pivots), made the
// minimum-norm one as with the flag: projected off the matrix's own null
// directions in the parameters scaled to unit diagonal. For a positive
// semi-definite matrix it is zswpn's pseudo-inverse; where a Newton Hessian
// curves down along a row away from the minimum, that row stays uninverted
// as without the flag, so that a step on the border row still descends
// (the pseudo-inverse proper would invert it, and the step may climb).
// Ignores `moorep`; needs the record's Moore-Penrose storage. Returns as
// zswpn does.
int minimum_norm_sweep(double* xpx, int nest, int nest1, zswpptr swpi);
// The generalised inverse D^-1/2 S+ D^-1/2 of the order-n packed matrix A,
// S = D^-1/2 A D^-1/2 its scaled form (D the diagonal of A), S+ the
// pseudo-inverse of S at the rank the sweep finds with pivots above `sing`
// (by magnitude); returns that rank, 0 when the record has no room for it.
int moore_penrose(double* xpx, int n, zswpptr swpi);
// The minimum-norm form of a generalised inverse that a sweep leaves in the
// leading n rows of x (packed, of any order from n): its inverse on the
// rows `kept` marks '1' (the others count as zero rows) becomes
// D^-1/2 P G P D^-1/2, G that inverse in the parameters scaled to unit
// diagonal of the order-n packed matrix a (D its diagonal, the scales as
// undetermined_directions takes them, into `scales`), P the projector
// orthogonal to the null directions x holds between the rows `swept` marks
// '1' and the others. When G is a generalised inverse of a matrix M whose
// null space beyond those directions G's own rows already avoid (a
// constrained inverse: M the Hessian on the directions the constraints
// leave free), the result is the pseudo-inverse of M in the scaled
// parameters. Returns the number of null directions, -1 (x unchanged)
// when the record has no room for the projection.
int minimum_norm_inverse(double* x, int n, const double* a, const char* swept, const char* kept,
                         zswpptr swpi, double* scales);
// The member of step + N of least norm in the parameters scaled to unit
// diagonal of the order-n packed matrix a, N the directions the order-n
// packed matrix xpx leaves undetermined, decided as undetermined_directions
// decides them: step (n entries) loses its part along N in those scaled
// parameters. xpx is overwritten, and so are the record's statuses and inv.
// Returns the number of directions, -1 (step unchanged) when the record has
// no room for them.
int minimum_norm_step(double* xpx, int n, const double* a, zswpptr swpi, double* step,
                      double* scales);
// The directions the order-n packed matrix A leaves undetermined, decided
// as moore_penrose decides its rank: returns their number n - rank, or -1
// when the record has no work space. The directions go to
// `directions` as rows of n, unit vectors in the parameters scaled to unit
// diagonal (theta_j sqrt(a_jj)); the scales sqrt|a_jj| (for a row whose
// diagonal is negligible, its largest scaled entry) go to `scales`. A is
// overwritten.
int undetermined_directions(double* xpx, int n, zswpptr swpi, double* directions, double* scales);
// The condition number ||S_KK|| ||S_KK^-1|| (infinity norm) of the rows K
// of the order-n packed matrix A that moore_penrose keeps, S = D^-1/2 A
// D^-1/2 its form scaled to unit diagonal: the factor by which rounding in
// the inverse of those rows may exceed the unit roundoff. 0 when no row is
// kept; -1 when the record has no work space. `work` takes n(n+1)/2
// doubles; A is left as it was.
double kept_rows_condition(const double* a, int n, zswpptr swpi, double* work);
// wrk[i] = sqrt(max(0, x(i,i))) for i < n; then rows i < min(n, nest1)
// become correlation form (the debug print first, when switched on).
void corr(double* xpx, double* wrk, int n, int nest1, zswpptr swpi);
