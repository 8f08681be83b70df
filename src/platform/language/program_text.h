// Program text into the syntax tree with the statement language's own
// parser: the production parser behind the compiler's compile-from-text
// entry.
#pragma once

#include <string>
#include <string_view>

#include "platform/language/ast.h"

namespace platform::language {

// Parses programming statements; false with the first error's message and
// place in `error` on a lexical or syntax error or a procedure statement.
bool parse_program_text(std::string_view text, Program* program, std::string* error);

}  // namespace platform::language
