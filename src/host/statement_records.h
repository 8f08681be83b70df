// The parsed procedure statements: one STMT per statement, singly linked from
// the PROCSTR's `head`, the procedure statement first. Options land either
// in the 256 option bits `opt` or in the numbered option fields `fld`.
#pragma once

#include <cstdint>

#include "host/dataset_types.h"

// A list-valued option field.
struct FIELDSTR {
  std::int32_t n;  // number of entries (names, values, characters)
  std::int32_t k;  // capacity or a second count (see the field type)
  union {
    char* cval;          // text of n characters
    std::int32_t* ilist; // n integers
    double* flist;       // n doubles
    char (*clist)[17];   // n names of up to 16 characters
    void* nlistx;        // a host name list (zgetnmr), n names
    char (*nlist8)[8];   // n names of up to 8 characters
    void* efptr;         // expressions: CMPSYM* array, one symbol per expression
    void* screen;
    void* longname;
    void* longlabel;
    void* longnamex;
  } u;
};

// One option field; `type` 0 means the option was not given.
struct STLIST {
  char type;           // one of the stfield codes below
  unsigned char mode;  // data sets: 1 read, 2 written
  union {
    FIELDSTR f;
    double fval;       // a number
    char nval[8];      // a keyword, upper case, blank-padded (first 8 characters)
    XO_FILE* fid;      // a data set named on the statement, open for reading or writing
    void* tlist;
  } v;
};

struct STMT {
  STMT* next;              // next statement or null
  char name[32];           // statement keyword, upper case, blank-padded
  unsigned char opt[32];   // option bits: bit k is byte k/8, mask 0x80 >> k%8
  std::int32_t nfld;       // fields 0 .. nfld-1 exist
  STLIST* fld;             // option fields by number
};

// Field type codes.
namespace stfield {
inline constexpr char kNumber = 'N';    // fval
inline constexpr char kKeyword = 'K';   // nval
inline constexpr char kDataset = 'D';   // fid, mode (1 read, 2 written)
inline constexpr char kNames = 'L';     // f.n names in the host name list f.u.nlistx
inline constexpr char kText = 'S';      // f.n characters at f.u.cval
inline constexpr char kNumbers = 'V';   // f.n doubles at f.u.flist
inline constexpr char kIntegers = 'I';  // f.n integers at f.u.ilist
inline constexpr char kExprs = 'E';     // f.n expression symbols (CMPSYM*) at f.u.efptr
}  // namespace stfield

inline bool stmt_bit(const STMT* s, int k) {
  return (s->opt[k / 8] & (0x80u >> (k % 8))) != 0;
}
inline void stmt_set_bit(STMT* s, int k) {
  s->opt[k / 8] = static_cast<unsigned char>(s->opt[k / 8] | (0x80u >> (k % 8)));
}
// Field k, or null when the statement has no such field.
inline const STLIST* stmt_field(const STMT* s, int k) {
  return (k >= 0 && k < s->nfld && s->fld[k].type != 0) ? &s->fld[k] : nullptr;
}
