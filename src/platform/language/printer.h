// Readable text of parsed statements: expressions fully parenthesised, the
// syntax tree one statement a line, and the procedure statements with their
// option bits and fields named.
#pragma once

#include <string>

#include "platform/language/ast.h"
#include "platform/language/proc_statement.h"
#include "platform/language/step_parser.h"

namespace platform::language {

// (a + (b * c)), (-(x ** 2)), f(x, 1), a{i}, (x IN (1, 2)), 'it''s', .A
std::string expression_text(const Expr& e);

// One line per statement, nested statements indented by two blanks.
std::string program_text(const Program& program);

// The statement's keyword, line, option bits with the options that set
// them, and fields with their values.
std::string proc_statement_text(const ProcStatement& st);

// The whole step: procedure statements, then the program, then the errors.
std::string step_text(const StepParse& step);

}  // namespace platform::language
