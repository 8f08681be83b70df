// Choosing a generator method by name. Names and aliases are case-blind;
// an empty name reads the named value "OSENV.KOV_RNG_METHOD"; the default
// method is MTHYBRID.
#pragma once

#include <cstdint>

#include "random/method_record.h"

namespace zrngmeth_flags {
inline constexpr std::uint64_t kWideName = 0x1;  // the name is QXChar text
}

// Fills q for the named method. Returns 0, 0x8C7FE80B (unknown name or
// longer than 15 characters) or 0x8C7FE80C (method not available), the
// default method filled in both cases. A negative name_l measures the name;
// a null name is the empty name. 0 and nothing done for a null record.
int zrngmeth(const char* name, int name_l, ZRNG_S* q, std::uint64_t flags);
