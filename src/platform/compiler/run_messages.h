// The messages of run-time errors and of the places where missing values
// were generated, from the catalogue (set 148).
#pragma once

#include <cstdint>
#include <vector>

#include "platform/compiler/executor.h"

namespace platform::compiler {

// Logs one run-time error at its place in the program.
void log_run_error(const RunErrorRecord& error, const Site& site);
// The places with a nonzero count, as "(count) at line:column" entries
// joined into lines of at most `width` characters.
std::vector<std::string> count_places(const std::vector<Site>& sites,
                                      const std::vector<std::uint32_t>& counts, std::size_t width);

}  // namespace platform::compiler
