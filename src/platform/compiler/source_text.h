// Statements and expressions of the syntax tree written back as program
// text, with only the parentheses the operators need: the program listing,
// the source of statements the compiler makes itself, and messages.
#pragma once

#include <string>

#include "platform/language/ast.h"

namespace platform::compiler {

std::string expression_text(const language::Expr& e);
std::string statement_text(const language::Stmt& s);
std::string var_list_text(const language::VarList& list);
// The keyword of a statement as the compiled program names it ("ASSIGN", "IF", ...).
const char* statement_keyword(const language::Stmt& s);

}  // namespace platform::compiler
