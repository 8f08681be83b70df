// The compiler's listings on the listing file: the program as parsed (LIST),
// the generated code (LISTCODE), the cross reference (XREF) and the symbol
// table (DEBUGD).
#pragma once

#include <string>

#include "platform/compiler/compiler.h"

namespace platform::compiler {

void print_program(Compiler& c);
void print_code(Compiler& c, const Program& program, const std::string& title);
void print_cross_reference(Compiler& c);
void print_symbols(Compiler& c);

// A text of the catalogue (set 148) without inserts.
std::string catalogue_text(int number);
// Writes one line to the listing.
void listing_line(const std::string& line);

}  // namespace platform::compiler
