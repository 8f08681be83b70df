// The matrix printers of the listing: `zpmat2`, driven by a PMATSTR request
// whose every part (values, cells, labels, title) the caller may replace,
// and `zpsmat`, a compact printer for packed symmetric matrices.
#pragma once

struct PMATSTR;
using PmatValueFn = double (*)(PMATSTR* pmat, int row, int col);
using PmatCellFn = void (*)(PMATSTR* pmat, int row, int col);
using PmatLabelFn = void (*)(PMATSTR* pmat, int index, int width);
using PmatTitleFn = void (*)(char* title);

// The print request. Zero fields take the defaults noted.
struct PMATSTR {
  int rows;             // below 1: nothing printed
  int cols;             // below 1: nothing printed
  double* matrix;       // storage read by the default value function
  int shape;            // 'r' or 0 row-major, 'c' column-major, 'd' diagonal,
                        // 's' packed symmetric, 'l'/'t' packed lower, 'u' packed upper
  int dimen;            // leading dimension; 0: rows for 'c', else cols
  PmatValueFn valfun;   // element (row, col); null: zpmval
  PmatCellFn prtfun;    // prints a cell itself; no number format is chosen
  int width;            // field width; 0 automatic (8 to 12), |width| at most 32
  int space;            // blanks between columns; 0: 2, negative: 0
  int expand;           // most widening per column; 0: 4, negative: 0
  int skip;             // rows per group; 0: no groups
  int* decptr;          // decimals: per column for format 'c', else [0]
  char* rowname;        // row names, fixed-width fields
  int rowsize;          // width of a row-name field; 0: 8
  int rowoffset;        // stride of row names; 0: rowsize
  PmatLabelFn rowfun;   // prints a row label; null: zpmrow
  char* colname;        // column names, fixed-width fields
  int colsize;          // width of a column-name field; 0: 8
  int coloffset;        // stride of column names; 0: colsize
  PmatLabelFn colfun;   // prints a column label; null: zpmcol
  char* corner;         // text above the row labels, NUL-terminated
  PmatTitleFn titfun;   // prints the title; null: zptitx fed by zptiti
  int titlines;         // lines titfun prints (read only with titfun)
  char* title;          // title text or null
  char* label;          // a label per row, printed right of the row
  int labsize;          // width of a label field; 0: 40
  int laboffset;        // stride of labels; 0: labsize
  char format;          // 'b' best, 'c' per-column decimals, 'e' E notation,
                        // 'p' p-values, 'q' widest fixed, other: one count
  char alignbit;        // every panel at the first panel's margin
  char highbit;         // the column heading is typed 'h'
  char sigbit;          // small nonzero values in significant digits
  char underbit;        // the column heading is underlined
  void* miscptr;        // free for the caller's callbacks
  int miscint;
  int miscint2;
  int lmargin;          // out: the first panel's left margin
  int length;           // out: the first panel's width
  void* internal;       // the printer's working record during the call
};

// The printer's working record: the resolved settings and the position.
// After set-up the three name sizes hold the widest name present.
struct ZPMAT2_COMMON {
  double* matrix;
  int shape, rows, cols, dimen;
  PmatValueFn valfun;
  PmatCellFn prtfun;
  int width, skip;
  int* decptr;
  char* rowname;
  int rowsize, rowoffset;
  PmatLabelFn rowfun;
  char* colname;
  int colsize, coloffset;
  PmatLabelFn colfun;
  char* corner;
  PmatTitleFn titfun;
  int titlines;
  char* title;
  char* label;
  int labsize, laboffset;
  int r, c;        // current row and column
  int c1, c2;      // first and one-past-last column of the panel
  int prtbit;      // prtfun given
  int sbit;        // a copy of sigbit
  int maxrow;      // width of the row-label column
  int maxcol;      // width of one column
  char form;       // the underline character
};

int zpmat2(PMATSTR* pmat);
double zpmval(PMATSTR* pmat, int row, int col);
void zpmrow(PMATSTR* pmat, int row, int width);
void zpmcol(PMATSTR* pmat, int col, int width);
double zpmsmal(int width, int dec);
int bound(int a, int b, int c);
void zpmhead(PMATSTR* pmat);

void zpsmat(double* x, int nn, char** name, int w, long lcode, char* corner, char* title1,
            char* title2);
