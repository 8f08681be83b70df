// Declarations of the record types that appear in host-service signatures.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "host/types.h"

#include "host/linestr.h"

#include "host/compiler_types.h"
