// The optimisation library: minimises an objective that only the caller can
// evaluate, through callbacks, over one run record `ZOPTGLOBAL` that the
// caller owns. The library keeps no static state; all storage comes from the
// caller's pool (`mem.pool`) and is never freed by the library.
//
// Sign convention: the caller's gradient is g = +1/2 dF/dx (for least
// squares F = sum r^2 with r = y - f, g = -J'r) and its Hessian H is the
// matching 1/2 d2F/dx2 (J'J for Gauss-Newton). Sweeping the bordered matrix
// [H g; g' F] over its parameter rows leaves H^-1 g in the border row, and
// the library steps to x - H^-1 g.
//
// Calling order: allocate ZOPTGLOBAL zero-filled from the pool, set
// `mem.pool` and `opts.num_parms`; `zoptcnt`; `zoptac` per constraint; fill
// `opts` (and `lnsrch.maxsubiters`); `zoptsu`; install `funcs`; then `zopt`
// as often as wanted. A callback may leave a run by throwing; the record is
// then abandoned and the next `zopt` starts from a clean transient state.
#pragma once

#include <cmath>

#include "linalg/sweep_inverse.h"

struct WOB_OBJ_STR;  // a host output object (the output service's layout)
struct XOBKEY;       // a text object of the output service
struct ZOPTGLOBAL;

// The outcome of a run (`state.error`).
enum zopt_errors {
  s_ok = 0,
  s_nofeas = 1,      // no feasible start
  s_nodecr = 2,      // no decrease found in an iteration
  s_nodelta = 3,     // no step computable before convergence
  s_iterexceed = 4,  // iteration limit
  s_noobject = 5,    // objective not computable at the start
};

using ZoptCallback = int (*)(ZOPTGLOBAL*);

// Options, filled by the caller before `zoptsu`; zero means "default" where
// a default is listed.
struct ZOPTOPT {
  char method;            // 'M' Marquardt; other letters: step plus line search ('G' may switch to 'M')
  char gradient;          // the caller's derivative choices; not read
  char hessian;
  char** pname;           // n + 1 names: the parameters, then the objective column
  char** rname;           // names of the rows of the projected tables
  char* resid;            // name of the residual (objective) row
  int num_parms;          // n
  char** cnam;            // constraint names; not read
  double ceps;            // constraint tolerance, times a constraint's size below 1; default 1e-10
  void* userptr;          // the caller's context
  double atol;            // tolerance on the relative-offset measure R
  double offset_atol;     // the same where a caller's test cannot judge the iteration (0: atol)
  double ftol, fto2, gtol, gto2, xtol;  // for the caller's own convergence test; not read
  double aftl;            // tolerance of the zero-objective test on the objective and on pr (see objscale)
  double agtl, axtl;      // not read
  double sing;            // singularity tolerance of the sweeps
  char linesearch;        // 'C' cubic, 'G' golden, 'H' halving, 'Q' quadratic; others halving
  char update_tech;       // nonzero: quasi-Newton Hessian instead of `ushes`
  char covi, max;         // not read
  int maxiters;           // iteration limit; default 100
  int maxsubiters;        // sub-iterations per iteration; default 20
  int nres, hesc, vers;   // not read
  int moorepenrose;       // nonzero: the covariance sweep forms a Moore-Penrose inverse
  double rtop, ssin;      // not read
  double rel_lagr;        // relative tolerance for dropping a constraint; default 0.1
  char estype[8];         // estimation-type label (eight characters, no terminator)
  char printerror;        // nonzero: failure notes of the steps are printed
  char itprint;           // 0 none, 1 the caller's `usfout`, 2+ also IterInfo rows and groups
  char details;           // nonzero: detailed iteration rows
  char i;                 // nonzero: print the swept matrix at each step
  char xpx;               // nonzero: print the cross-product matrix at each step
  char plog;              // not read
  int debug;              // nonzero: trace output
  int ndec;               // decimals of printed matrices; default 7
  long ndecfmt;           // format width code of printed matrices; default 99
  int covariance;         // nonzero while the caller forms the covariance
  WOB_OBJ_STR* yolman;    // output manager
  WOB_OBJ_STR* table;     // not used
  WOB_OBJ_STR* data;      // the IterInfo data object (null until the first row)
  WOB_OBJ_STR* output;    // output object of the current row
  WOB_OBJ_STR* grp;       // the open output group (null when none)
  XOBKEY* templ;          // template under which IterInfo rows are delivered
  const char* where;      // which fit the run is, as the log notes end it (" in the BY group g=1"); null: none
};

// Callbacks; each returns 0 on success. `usobj` and `usgrd` are required.
struct ZOPTFUNC {
  ZoptCallback usobj;   // objective into state.objective, usable observations into state.nobs
  ZoptCallback usgrd;   // gradient into state.grad (n + 1) and the border row of state.hes
  ZoptCallback ushes;   // Hessian into the parameter block of state.hes
  ZoptCallback uscon;   // constraint values (through CONSTRAINT.val)
  ZoptCallback usjnc;   // constraint Jacobian (through CONSTRAINT.mat)
  ZoptCallback usfout;  // one line or row of iteration output
  ZoptCallback ussout;  // not called
  ZoptCallback usterm;  // not called
  ZoptCallback usnest;  // after each accepted step, before derivatives are refreshed
  ZoptCallback usmprt;  // at the start of every step computation
  ZoptCallback usconv;  // replaces the built-in convergence test; nonzero = converged
};

struct NCONSTR;
struct ZOPTMARQU;
struct quasi;

// One constraint: value >= 0 (inequality) or value = 0 (equality).
struct CONSTRAINT {
  double** mat;  // n pointers to the current coefficients (caller storage)
  int* cols;     // their parameter indices
  double* val;   // the current value (caller storage, kept current by `uscon`)
  int n;         // number of coefficients
  char* name;
  char act;      // '1' working, '0' inactive, 'v' violated and not working
  NCONSTR* nc;   // nonlinear part, or null
  void* user;    // caller data
  double size;   // the largest of the terms `val` was last computed from (1 with a
                 // nonlinear part): the tolerance is ceps * min(size, 1)
};

// The nonlinear part of a constraint in compressed rows by parameter.
struct NCONSTR {
  double** mat;  // one entry pointer per term
  int* rows;     // n + 1: first term of each parameter row; the last is the term count
  int* cols;     // column index per term
  int n;         // number of terms
};

// The run state.
struct ZOPTSTATE {
  double objective;     // current objective, penalty included
  double prevobj;       // objective at the start of the iteration
  long nobs;            // usable observations now
  long prevnobs;        // and at the start of the iteration
  int rankxpx;          // rank found by the last step sweep
  int fullsubiter;      // nonzero: derivatives refreshed with every objective
  double pr;            // reference quantity of the convergence tests (grad[n])
  double r;             // relative-offset measure R; missing when no step was possible
  double theta, phi;    // angle of step and gradient (degrees) and slope measure
  double ppc, rpc;      // largest relative parameter change the step prospects (as far as
                        // the bounds let it go) and the last iteration made
  double robj;          // relative objective change
  double objscale;      // the caller's scale of the objective: it counts as zero when
                        // |objective| < aftl * objscale; zoptsu sets 1 (an absolute test)
  double kt;            // Kuhn-Tucker measure
  int worstp, worstr;   // parameter of ppc and of rpc; -1 none
  char* ppc_out;        // printed forms of ppc and rpc (256 bytes each)
  char* rpc_out;
  double* parms;        // current parameters (n)
  double* pparms;       // parameters at the start of the step (n)
  double* dhes;
  double* hes;          // bordered packed Hessian of order n + C + 1
  double* grad;         // n + 1: the gradient, then pr
  double* cov;          // covariance result
  double* con;          // C working-constraint values
  double* quasihes;     // quasi-Newton save area
  ZSWPN* swpi;          // the sweep-inverse record
  CONSTRAINT** conp;    // working list: equalities, then active inequalities
  int max_conp;         // its capacity C
  CONSTRAINT** conp_i;  // all inequalities
  int max_conp_i;       // their capacity
  int iters;            // completed iterations (less the converged pass)
  int change_uninformative;  // the last iteration stood still (to rounding) or changed the working set
  int subiters;         // sub-iterations of the current iteration
  int totsubiters;      // their sum over the run
  int ridge;            // nonzero while a ridged step is in force
  int doingsubit;       // nonzero during a sub-iteration's objective evaluation
  void* gnewt;          // technique records; only marqu and quasi are used
  ZOPTMARQU* marqu;
  void* nmsim;
  void* quad;
  struct quasi* quasi;
  void* cg;
  void* ddog;
  void* trusr;
  void* hquasi;
  int* pmap;            // parameter permutation (n), the identity
  zopt_errors error;
};

// Work memory; a work vector only ever grows.
struct ZOPTMEM {
  void* pool;    // the caller's pool
  long hesl;     // bytes of the bordered Hessian
  long covl;     // bytes of the covariance
  double* wrk1;  // packed m by m, m = max(n, C) + 1
  long siz1;
  double* wrk2;  // 2m
  long siz2;
  double* wrk3;  // m
  long siz3;
  double* wrk4;  // m
  long siz4;
};

// The line search's own record, so that it can serve other objectives.
struct LINESRCH {
  double damp;                  // step factor; the next search starts from it
  double pdamp;                 // the factor accepted last
  double oldobj;                // objective at factor 0
  double currobj;               // objective of the point searched last
  double* gradient;             // = state.grad
  void* user_ptr;               // passed to the two functions; = the run record
  double (*objfunc)(void*);     // objective at the trial point
  void (*subpfunc)(void*);      // sub-iteration printer, or null
  int maxsubiters;              // trial limit
  int subiter;                  // trials of the last search
  char linesearch;              // copy of opts.linesearch
};

// The Marquardt and active-set record, created by `zoptcnt`.
struct ZOPTMARQU {
  double connorm;      // norm of the working constraint values
  double prevcon;      // and at the start of the iteration
  double lambda;       // Marquardt parameter
  double* delta;       // the step (n + C + 2)
  double minobj;
  long minobs;
  char* singrowsc;     // C flags: '1' independent working row
  char* singrows;      // one flag per row: '1' may be swept, '0' singular
  char* sweepx;        // the sweep record's own row flags
  double* savhes;      // saved bordered Hessian
  double* lagrange;    // first multiplier estimates (C)
  double* nlagr;       // second multiplier estimates (C)
  int singular;        // the last step sweep was rank-deficient
  double maxval;       // largest step component accepted
  double user_obj;     // the objective as the callback returned it
  double penalty;      // penalty weight of the working constraints
  double* q;           // Householder vectors, packed
  double* l;
  double* beta;        // Householder scale factors (C)
  double** mat;        // working constraint matrix (C rows of n)
  double** fmat;       // its factored copy
  double** z;          // null-space basis rows
  double** Q;          // explicit orthogonal factor (n rows of n)
  double* pk;          // restoration step (max(n, C))
  double* yk;          // -H pk (n)
  int nact;            // active inequalities
  int perm;            // declared equalities, always working
  int inumconstr;      // independent working rows
  int ninequal;        // declared inequalities
  int ruvacon;         // constraints with a nonlinear part
  int boundv;          // a trial point violated a constraint
  int d_reason;        // 1 when a constraint stopped the last step
  int failed;          // 1 when the last step failed
  int next_act;        // the inequality to add next
  int added_bound;     // a constraint was added and may still be off zero
  int factored;        // the factors describe the current working set
  int fesflag;         // 0 start-up feasibility phase, 1 after an addition
  int ridgeflag;       // nonzero while `ridge` computes a step
  double* correction;  // the feasibility phase's correction step (max(n, C)), kept apart
                       // from the work vectors so that its debug table shows it intact
  double* crossing;    // the last trial point of the current step that violated an
  int crossed;         // inequality (n), and whether it holds one
  int dependent_noted;  // the run has logged that working rows are dependent
};

// The quasi-Newton record, hung on state.quasi at its first use.
struct quasi {
  int length;  // the n its vectors were made for
  double* pp;  // parameters at the last update (n)
  double* pq;  // gradient there (n + 1)
};

struct ZOPTGLOBAL {
  ZOPTOPT opts;
  ZOPTFUNC funcs;
  ZOPTSTATE state;
  ZOPTMEM mem;
  LINESRCH lnsrch;
};

// Set-up; each returns 0, or 1 on failure (storage, a full list, bad input).
int zoptcnt(int maxeq, int maxineq, ZOPTGLOBAL* g);
int zoptac(int* cols, double** mat, int nc, double* val, int inequality, int* ncols, int* nrows,
           double** nmat, int nnc, char* name, void* user, ZOPTGLOBAL* g);
int zoptsu(ZOPTGLOBAL* g);

// One minimisation: 0 when it ended normally, else nonzero with state.error set.
int zopt(ZOPTGLOBAL* g);

// The parts of a run, for the caller after a run and for the library itself.
int zoptobj(ZOPTGLOBAL* g);
int update_objective(ZOPTGLOBAL* g);
int next_step(ZOPTGLOBAL* g);
int converged(ZOPTGLOBAL* g);
// The built-in test alone at criterion `atol`, whatever test the run uses,
// for a point where the steps stopped (no step reduced the objective): R
// below atol or a negligible objective, the working constraints met, and
// no active inequality whose multiplier asks to leave it (one that does
// is dropped from the working set, as at a candidate of the run). Nonzero
// when it passes.
int passes_offset_test(ZOPTGLOBAL* g, double atol);
// The working-set part of that test: the working constraints met and no
// active inequality whose multiplier asks to leave it (one that does is
// dropped). Nonzero when it passes.
int stays_on_working_set(ZOPTGLOBAL* g);
int update_p(ZOPTGLOBAL* g);
int update_ders(ZOPTGLOBAL* g);
double kuhn_tucker(ZOPTGLOBAL* g);
// The change of the objective over an iteration relative to where it
// started, |after - before| / |before|, in the objective's own unit
// whatever the data's scale: 0 when nothing changed, the missing value
// from an objective of 0 to another or when either is not finite.
double relative_objective_change(double after, double before);
int znches(ZOPTGLOBAL* g);
// The quasi-Newton update of the parameter block of state.hes; 0 or 1 (failed).
int zoptqn(ZOPTGLOBAL* g);
// The BFGS update of the packed n by n hes from (parm1, grad1) to (parm2,
// grad2), wrk 2n doubles; 0 done, 1 a denominator was unusable.
int znupdat(double* hes, double* parm1, double* parm2, double* grad1, double* grad2, double* wrk,
            int n);
// Rebuilds the parameter block by finite differences of the gradient.
int restart(quasi* qs, ZOPTGLOBAL* g, int sing);
// The finite-difference step for a parameter value.
double scale(double num, double diag, double grad);
// The rank of the projected Hessian plus the independent working rows.
int check_sing(ZOPTGLOBAL* g);
// Makes the parameter block diagonally dominant.
void fix_hes(ZOPTGLOBAL* g);

// Marquardt step.
int zoptmq(ZOPTGLOBAL* g);
int ridge(ZOPTGLOBAL* g);
int not_improved(ZOPTGLOBAL* g);
void print_error(ZOPTGLOBAL* g);

// Line search.
// The searches return nonzero when an acceptable point was found. The
// slope along the search comes from ls->gradient, which like the rest of the
// library holds half the objective's gradient; a null gradient stands for
// an objective that the full step is expected to bring to zero (slope -f0).
int zlnsrch(double* delta, double* parms, double* pparms, int n, LINESRCH* ls);
int stephalv(double* delta, double* parms, double* pparms, int n, LINESRCH* ls);
int quadsearch(double* delta, double* parms, double* pparms, int n, LINESRCH* ls);
int cubesearch(double* delta, double* parms, double* pparms, int n, LINESRCH* ls);
int goldsearch(double* delta, double* parms, double* pparms, int n, LINESRCH* ls);
double evalfunc(double alpha, double* delta, double* parms, double* pparms, int n, LINESRCH* ls);
int zoptspl(ZOPTGLOBAL* g);
double objective(void* g);
void subp(void* g);
void print_error2(ZOPTGLOBAL* g);

// Step computation and its statistics.
int zoptdlt(ZOPTGLOBAL* g, int print);
int znunprd(ZOPTGLOBAL* g);
int znprjhs(ZOPTGLOBAL* g);
int znprjhe(ZOPTGLOBAL* g);
// Factors the working rows afresh and points ZOPTMARQU.z at the m rows of
// Q that span their null space; returns m, or 0 when the working rows fix
// no parameter or every one (z is then left alone).
int null_space_basis(ZOPTGLOBAL* g);
// Whether a component of a null-space basis vector moves its parameter.
// The working rows have unit coefficients, so a parameter they leave free
// has components of order 1/n, and one they fix only the factorisation's
// rounding, a few units of 1e-16: the bar is the root of the machine
// epsilon, 2^-26.
inline bool basis_moves(double component) { return std::fabs(component) > 0x1p-26; }
// Adds the Lagrangian's second-order term of the nonlinear working
// constraints to the projected Hessian when it stays diagonally dominant.
void check_hes(ZOPTGLOBAL* g);
// pk = the minimum-norm restoration step: mat pk = con.
int get_pk(ZOPTGLOBAL* g);
// yk = -hes pk over the leading n by n block.
int get_yk(ZOPTGLOBAL* g, double* hes);
// The explicit orthogonal factor of the working rows into ZOPTMARQU.Q.
int computeQ(ZOPTGLOBAL* g);

// Lagrange multiplier estimates of the working constraints: the first from
// the gradient (0 while the factors are stale), the second from the
// gradient predicted at the end of the last step.
int zoptlag(ZOPTGLOBAL* g);
int zoptlg2(ZOPTGLOBAL* g);

// Constraints, feasibility and covariance.
int zngcon(ZOPTGLOBAL* g);
int zncmat(ZOPTGLOBAL* g);
void znaddac(int cstr, ZOPTGLOBAL* g);
void zndelac(ZOPTGLOBAL* g);
double rel_changep(ZOPTGLOBAL* g);
int zoptfes(ZOPTGLOBAL* g);
// Moves state.parms to the nearest point that satisfies every constraint,
// each read as linear from its value and coefficients there: 0 done
// (nothing moves from a point that satisfies them), 1 no point satisfies
// them, 2 undecided (a constraint with a nonlinear part or that cannot be
// evaluated).
int zoptnear(ZOPTGLOBAL* g);
int feasable(ZOPTGLOBAL* g);
int check_constraints(ZOPTGLOBAL* g, double** mat, int np, int nc);
double cobj(void* g);
// The covariance under the working constraints; the `count` parameters
// `indefinite` lists may take a negative pivot (NEWTON stopped where the
// Hessian curves down along a free direction that moves them).
int zoptcv(ZOPTGLOBAL* g, const int* indefinite = nullptr, int count = 0);
void zoptprv(ZOPTGLOBAL* g, double* vec, int n);

// The iteration table.
void znpitsu(ZOPTGLOBAL* g, int (*setup)(ZOPTGLOBAL*));
int znpit(ZOPTGLOBAL* g);
char* znprnit(double iter, char* esttype, char* pit);
