// The output-table library: builds the output service's tables, facts,
// vectors and matrices through the host-object methods, and a few helpers
// around them (symbol values, a balanced tree, quoting, the common handler
// of a failing output request).
//
// Every builder returns 0 on success; on a failing method it logs the
// status (`xprrlog`) and returns that status (negative), so that callers
// can hand it to `zyolexit`; 1 is a failure without a status.
#pragma once

#include <cstdint>

#include "host/object_methods.h"

// A table description for `yoltab`.
struct YOLTAB {
  xobskey title_key;        // the table's title
  const char* data_name;    // name of the data object
  xobskey* colkeyn;         // ncols label keys
  const char** colnames;    // ncols column names
  const char* formats;      // ncols format letters
  void** addrs;             // ncols value cells
  int ncols;
};

// The node header of the balanced tree; user records begin with it.
struct TREE {
  TREE* llink;
  TREE* rlink;
  std::int16_t bal;  // -1 left-heavy, 0 balanced, +1 right-heavy
};

// Format letters of columns and facts:
//   L 64-bit integer (width 6), d 32-bit integer (3), i 32-bit integer (6),
//   g double (12), n double (8), s double (5, 2 decimals), p p-value,
//   c text (9), t text (15), l text (30).
wobop yoltab(YOLTAB* info, wobop yolman);
// A column by format letter; one not `listed` only feeds the JSON, the
// report and the graphs.
int yolinsc(wobop data, xobskey colkeyn, const char* colname, const char* format, void* addr, bool listed = true);
int yoladdf(wobop fact, xobskey label, const void* value, const char* format);

// `v` holds n doubles; `wrk` room for n text objects; `name` n names.
int yolvec(wobop yolman, xobskey templ, xobskey* wrk, double* v, int n, char** name, int w, long lcode,
           xobskey title, xobskey oname);
// `x` is the n-by-n symmetric matrix in packed storage (lower triangle by
// rows), shown with the same names on rows and columns.
int yolmat(wobop yolman, xobskey templ, xobskey* wrk, double* x, int n, char** name, int w, long lcode,
           xobskey corner, xobskey title, xobskey outname);
int yolmatv(wobop yolman, xobskey templ, double* x, int n, VARSTRING* name, int w, long lcode,
            xobskey corner, xobskey title, xobskey outname);

int yoladvl(wobop sym, xobskey key, WOB_PARM_BLK_STR* val, int copy);
WOB_PARM_BLK_STR yolscvl(wobop sym, xobskey key, int search);
int yolqbit(void* reb, std::uint32_t dest);

using TreeCompareFn = int (*)(const void*, const void*);
TREE* yolbdf(TREE** headptr, TREE* now, int len, int off, TreeCompareFn func);
TREE* yolfdf(TREE** headptr, TREE* now, int len, int off, TreeCompareFn func);
TREE* yolbdf2(TREE** headptr, TREE* now, int len, int off, TreeCompareFn func);

// Quotes the first n characters of `str` in place (n = len when sublen is 0
// or len, else sublen); `capacity` is the room at `str`. Returns the length
// up to and including the closing characters, or -1 (text unchanged) when
// the quoted text would not fit.
int quote_me(char* str, int len, int quote, int sublen, int capacity);

// Handles a failing output-service status: logs it and ends the step with
// 120, except for facility 63 number 53, for which it returns.
void zyolexit(int orc);
