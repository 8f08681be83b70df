// The host model-program compiler's records as the module sees them: the
// compiler block, its initialisation block, symbols, symbol lists and the
// source text of a compiled statement. The host owns what the pointers
// lead to; the module reads only the members named here.
#pragma once

#include <cstdint>

// The compiler block (RUVACOM's `globcmp`), passed last to every compiler
// service.
struct CMPGLOBAL {
  void* userptr;  // the caller's context: the parse callback finds it here
  void* host;     // the host compiler's state
};

// Handed to `cmpinit`.
struct CMPINIT {
  std::int32_t* errflag;  // set nonzero by every later compile error
  long* memdef;           // memory shortfall
  std::int32_t* seg;      // program segment to run (0 model, 1 ESTIMATE/CONTRAST)
  std::int32_t lhsexpr;
  void* yolman;           // the output manager
};

// A program symbol.
struct CMPSYM {
  char* name;              // not NUL-terminated
  std::int32_t length;
  unsigned char flag[4];   // flag[0] 0x80: assigned by the program
  char kind;               // 'v' variable, 'l' literal, ...
  char type;               // 'n' numeric, 'c' character, ' ' not yet known
  double* data;            // the value cell
};

inline constexpr unsigned char kSymAssigned = 0x80;

// A list of symbols.
struct CMPLIST {
  std::int32_t n;  // symbols in the list
  std::int32_t k;  // room
  CMPSYM** s;      // the symbols
  void* pool;      // where `s` lives
};

// One compiled statement's source, as `cmplsrc` gives it.
struct CMPSRC {
  char name[8];          // statement name, upper case, blank-padded ("MODEL   ")
  const char* text;      // the statement as written, label included
  std::int32_t length;
};
