// Variables assigned before any read in every normal run (symbol ids).
#pragma once

#include <set>

#include "platform/compiler/compiler.h"

namespace platform::compiler {

std::set<int> first_assignments(Compiler& c);

}  // namespace platform::compiler
