// Records of the host's model-program compiler that the module sees: the
// compiler block, symbols and symbol lists, the initialisation block, the
// derivative record and the source-statement cursor. The compiler's own
// working (program, cells, run state) stays behind the compiler block.
#pragma once

#include <cstdint>

namespace platform::compiler {
class Compiler;
}

// Flag bits of byte 0 of CMPSYM::flags.
inline constexpr std::uint8_t kCmpAssigned = 0x80;    // assigned by the program
inline constexpr std::uint8_t kCmpReferenced = 0x40;  // its value is read by the program
inline constexpr std::uint8_t kCmpMarked = 0x20;      // marked: parameters, DER. variables
inline constexpr std::uint8_t kCmpDatasetVar = 0x10;  // a variable of the input data set
inline constexpr std::uint8_t kCmpHasInitial = 0x08;  // has an initial value
// Byte 1: its value can depend on a _TEMPORARY_ array that the program
// assigns, whose elements keep their values from one observation to the
// next (set when cmpdeps is asked for the symbol: the array has no symbol
// of its own to be among the inputs).
inline constexpr std::uint8_t kCmpReadsCarriedArray = 0x80;
// Byte 2: the symbol was declared a parameter (PARMS or a parameter data set).
inline constexpr std::uint8_t kCmpDeclaredParm = 0x20;
// Byte 3: the parameter mark that goes with `parmindex`.
inline constexpr std::uint8_t kCmpParmMark = 0x80;

// Kind codes: the declaration a symbol comes from (0 for any other).
inline constexpr int kCmpKindParms = 20;    // PARMS statement
inline constexpr int kCmpKindControl = 30;  // CONTROL statement

// Kind letters (the symbol's class):
//   'v' a variable of the program or of the input data set
//   'a' a parameter whose value lives in the procedure's parameter vector
//   'm' a variable whose value lives in a cell of the procedure (cmpsyma)
//   'd' a derivative variable
//   'l' a literal constant
//   't' a symbol the procedure defines for its own use (names of constraints)
// Type letters: 'n' numeric, '$' character, ' ' not yet known.

// Label and format of a symbol (cmpsymi attaches one).
struct CMPSYMINFO {
  char* label;             // label text, not terminated; null when none
  std::int16_t labeleng;   // its length
  char* format;            // the format as written; null when none
  std::int16_t formatleng;
};

struct CMPSYM {
  CMPSYM* next;             // next symbol of the program's symbol list (cmplstv)
  const char* name;         // as first written; also NUL-terminated
  std::int16_t nameleng;
  char kind;                // kind letter (above)
  char type;                // type letter (above)
  std::int16_t kindcode;    // kind code (above)
  std::uint8_t flags[4];    // flag bytes (above)
  std::int32_t dsvarno;     // variable number in the input data set (from 1), 0 none
  std::int32_t length;      // bytes of the value: 8 numeric, n character
  void* data;               // the value cell: a double, or `length` characters
  std::int32_t ninit;       // number of initial values (PARMS values expanded)
  double* init;             // the initial values
  std::int32_t parmindex;   // parameter index given with the byte-3 mark
  std::int32_t id;          // position in the compiler's symbol table
  CMPSYMINFO* info;         // label and format, null until cmpsymi
};

// A list of symbols. `s` holds `k` entries of which `n` are in use; its
// storage comes from `pool` (a host pool handle), or the task pool when null.
struct CMPLIST {
  std::int32_t n;
  std::int32_t k;
  CMPSYM** s;
  void* pool;
};

// What the caller hands to cmpinit.
struct CMPINIT {
  int* errflag;   // set nonzero by every compile error
  long* memdef;   // receives the bytes of a memory shortfall
  int* seg;       // the program segment cmprun runs: 0 the model, 1 ESTIMATE and CONTRAST
  int lhsexpr;    // 0
  void* yolman;   // the caller's output manager
};

// The compiler block. The caller keeps it (zeroed before cmpinit) and passes
// its address to every compiler service.
struct CMPGLOBAL {
  void* userptr;                           // the caller's own
  platform::compiler::Compiler* compiler;  // the host's compiler; null before cmpinit
};

// Derivatives of objective symbols with respect to other symbols.
struct CMPDER {
  CMPLIST obj;             // objectives
  CMPLIST wrt;             // with respect to
  CMPLIST der;             // one derivative symbol per entry
  std::int32_t* objindex;  // entry k: index of its objective in `obj`
  std::int32_t* wrtindex;  // entry k: index of its variable in `wrt`
  std::int32_t* nnonzero;  // per variable of `wrt`: its non-zero derivatives
};

// One statement of the compiled program, as cmplsrc walks them.
struct CMPSTMT;

// The source of a statement (cmplsrc).
struct CMPSRC {
  const char* text;     // the statement as written (label included), not terminated
  std::int32_t length;
  char name[8];         // statement keyword, upper case, blank-padded ("MODEL   ")
  std::int32_t line;    // where it starts in the program file
  std::int32_t column;
};

// Named accessors of the flag bits.
inline bool cmp_assigned(const CMPSYM* s) { return (s->flags[0] & kCmpAssigned) != 0; }
inline bool cmp_referenced(const CMPSYM* s) { return (s->flags[0] & kCmpReferenced) != 0; }
inline bool cmp_marked(const CMPSYM* s) { return (s->flags[0] & kCmpMarked) != 0; }
inline bool cmp_dataset_var(const CMPSYM* s) { return (s->flags[0] & kCmpDatasetVar) != 0; }
inline bool cmp_has_initial(const CMPSYM* s) { return (s->flags[0] & kCmpHasInitial) != 0; }
inline bool cmp_declared_parm(const CMPSYM* s) { return (s->flags[2] & kCmpDeclaredParm) != 0; }
inline bool cmp_reads_carried_array(const CMPSYM* s) { return (s->flags[1] & kCmpReadsCarriedArray) != 0; }
inline bool cmp_parm_marked(const CMPSYM* s) { return (s->flags[3] & kCmpParmMark) != 0; }
inline bool cmp_literal(const CMPSYM* s) { return s->kind == 'l'; }
inline bool cmp_numeric(const CMPSYM* s) { return s->type == 'n'; }
inline bool cmp_character(const CMPSYM* s) { return s->type == '$'; }
inline double* cmp_cell(const CMPSYM* s) { return static_cast<double*>(s->data); }
inline void cmp_mark(CMPSYM* s) { s->flags[0] |= kCmpMarked; }
inline void cmp_set_parm_mark(CMPSYM* s, int index) {
  s->flags[3] |= kCmpParmMark;
  s->parmindex = index;
}
inline void cmp_drop_dataset_binding(CMPSYM* s) {
  s->flags[0] &= static_cast<std::uint8_t>(~kCmpDatasetVar);
  s->dsvarno = 0;
}
