// Declarations of the record types that appear in host-service signatures.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "host/dataset_types.h"
#include "host/types.h"

#include "host/linestr.h"

// A scope of macro variables (vector 49), handed out by `xalanch`.
struct MACRO_SCOPE;
