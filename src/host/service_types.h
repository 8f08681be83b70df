// Declarations of the record types that appear in host-service signatures.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "host/dataset_types.h"
#include "host/types.h"

#include "host/compiler_types.h"
#include "host/listing_line.h"
#include "host/wait_types.h"

// A host object (host/object_methods.h holds its layout and the method dispatcher).
struct WOB_OBJ_STR;
using wobop = WOB_OBJ_STR*;

// A text object of the output service: a literal, a catalogue message or a
// path key. The module only passes it on; a null text object is empty text.
struct XOBKEY;
using xobskey = XOBKEY*;

// The output service's control block (`yolggcb`).
struct YOLGCB {
  std::uint32_t destinations;  // where output goes: kYolListing, kYolJson
};
inline constexpr std::uint32_t kYolListing = 0x1;
inline constexpr std::uint32_t kYolJson = 0x2;

// The host's numeric-format request (`zfmt`, `zfmmiss`): the value at `from`
// is written right-aligned into the `tow` bytes at `to`, with no terminator.
struct WZ_FMTPAR {
  int w;              // field width
  int d;              // decimals, or a decimal code (89, 98, 99, -99, -k)
  const void* from;   // the value
  int fromw;          // its length in bytes: 8 for a double
  char* to;           // the output field
  int tow;            // its width
  int retw;           // out: bytes written
  void* fmttabl;
  void* reb;
  int flags;
  int locid;
  int ince;
  int outce;
  int retce;
};
#include "host/token.h"

struct PROCSTR;

// A scope of macro variables (vector 49), handed out by `xalanch`.
struct MACRO_SCOPE;

