// Procedure statements (PROC RUVA, PARMS, BOUNDS, ID, BY, CONTROL, OUTPUT,
// ESTIMATE, CONTRAST, PROFILE, BOOTSTRAP, RESTRICT) into ProcStatements,
// their options read through the option table.
#pragma once

#include <string>

#include "platform/language/ast.h"
#include "platform/language/cursor.h"
#include "platform/language/expression_parser.h"
#include "platform/language/option_table.h"
#include "platform/language/proc_statement.h"

namespace platform::language {

class ProcedureParser {
 public:
  ProcedureParser(Cursor& in, const ExpressionContext& expressions)
      : in_(in), expr_(expressions) {}

  // Parses the statement at the cursor (its keyword first). Statements the
  // compiler also needs (PARMS, CONTROL, ESTIMATE, CONTRAST) leave their
  // syntax tree in `ast`.
  ProcStatement parse(StmtPtr* ast);

  // Reads options of `context` until a token that is not an option name.
  // `where` is the statement, or inside parentheses the options that opened
  // them as written ("PLOTS(STATS=("); messages name the list by it.
  void parse_options(OptionContext context, ProcStatement& st, const std::string& where);

 private:
  void parse_proc(ProcStatement& st);
  void parse_parms(ProcStatement& st, StmtPtr* ast);
  void parse_bounds(ProcStatement& st);
  void parse_id(ProcStatement& st);
  void parse_by(ProcStatement& st);
  void parse_control(ProcStatement& st, StmtPtr* ast);
  void parse_output(ProcStatement& st);
  void parse_estimate(ProcStatement& st, StmtPtr* ast, OptionContext options);
  void parse_profile(ProcStatement& st);
  void parse_bootstrap(ProcStatement& st);
  void slash_options(OptionContext context, ProcStatement& st, const std::string& statement);

  void apply(const OptionSpec& desc, ProcStatement& st, const Token& at, const std::string& where);
  void apply_one_of(const OptionSpec& desc, OptionContext context, ProcStatement& st, const std::string& where);
  FieldValue parse_value(const OptionSpec& desc, const Token& at);
  void parse_range(const OptionSpec& desc, ProcStatement& st, const Token& at);
  void parse_list(OptionContext context, ProcStatement& st, const std::string& opener);
  double parse_number(const OptionSpec* desc, const Token& option);
  FieldValue parse_dataset(const OptionSpec& desc);
  ValueRange parse_value_range();

  Cursor& in_;
  const ExpressionContext& expr_;
};

// The canonical statement keyword for a first word (upper case): BOOT gives
// BOOTSTRAP, PARM gives PARMS, CON and CONT give CONTROL; empty when the
// word does not begin a procedure statement.
std::string canonical_statement(const std::string& word);

}  // namespace platform::language
