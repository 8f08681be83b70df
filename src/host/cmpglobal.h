// The host model-program compiler's records as the module sees them
// (compiler block, symbols, lists, derivative record, source statements).
#pragma once

#include "host/compiler_types.h"
