// Declarations of the record types that appear in host-service signatures.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "host/dataset_types.h"
#include "host/types.h"

#include "host/cmpglobal.h"
#include "host/linestr.h"
#include "host/token.h"

struct PROCSTR;
