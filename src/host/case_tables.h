// Wide-character case tables and the narrow code-page tables (generated
// data in case_tables.cpp; see tools/gen_case_tables.py).
//
// All case tables are read in two levels: the meta entry of the character's
// block of 128 (c >> 7, for c below 0x10000) is negative when nothing in the
// block changes, else the index of the block's first delta; the mapped
// character is c + delta[meta + (c & 127)].
#pragma once

#include <cstdint>

#include "host/types.h"

// Down (lower-case) and up (upper-case) shifts: 8-bit deltas. The delta
// kAuxDelta sends the character to the aux list: (from, to) pairs of code
// points ended by a zero `from`.
inline constexpr std::int8_t kAuxDelta = -128;
extern const std::int16_t skz_metatable[512];
extern const std::int8_t skz_downshift[2432];
extern const std::int8_t skz_upshift[2432];
extern const QXChar skz_downaux[];
extern const QXChar skz_upaux[];

// Min and max maps: every character of a one-to-one case pair goes to the
// member with the smaller (min) or larger (max) code point; 32-bit deltas.
extern const std::int32_t skz_min_meta[512];
extern const std::int32_t skz_minshift[];
extern const std::int32_t skz_max_meta[512];
extern const std::int32_t skz_maxshift[];

// Narrow byte to wide character, and wide character 0-255 to narrow byte.
extern QXChar c2qx[256];
extern const unsigned char u2c[256];
