// Wide text literals for kernel-library calls: U"..." literals hold the same
// 32-bit code points as QXChar strings.
#pragma once

#include "host/types.h"

static_assert(sizeof(char32_t) == sizeof(QXChar));

inline const QXChar* qx_text(const char32_t* text) { return reinterpret_cast<const QXChar*>(text); }
