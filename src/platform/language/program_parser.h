// Programming statements into the syntax tree: assignments, IF, DO groups
// and loops, SELECT, RETAIN, ARRAY, LENGTH, control transfers, PUT, LABEL,
// ATTRIB, WHERE, FORMAT, KEEP, DROP and MODEL.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "platform/language/ast.h"
#include "platform/language/cursor.h"
#include "platform/language/expression_parser.h"

namespace platform::language {

class ProgramParser {
 public:
  explicit ProgramParser(Cursor& in);

  // Whether a statement that begins with the current token is a programming
  // statement (as opposed to a procedure statement).
  bool at_programming_statement();

  // Parses one statement with the statements nested in it.
  StmtPtr parse_statement();

  // Checks the GOTO and LINK targets of the whole program.
  void check_labels(const Program& program, std::vector<ParseError>* errors) const;

  const ExpressionContext& expressions() const { return expr_; }
  // MODEL statements met since the last call, in order.
  std::vector<const Stmt*> take_models();
  // The compiled statements' own pieces of source since the last call.
  std::vector<SourcePiece> take_pieces();

 private:
  StmtPtr parse_unlabelled(std::vector<std::string> labels, const Token& first);
  std::size_t open_piece(std::size_t begin, const std::string& name);
  void close_piece(std::size_t piece);
  // A piece of one or more keywords (ELSE, OTHERWISE, WHEN (...)).
  void keyword_piece(std::size_t begin, const std::string& name);
  StmtPtr parse_assignment(const Token& first);
  StmtPtr parse_if(const Token& first, StmtKind kind);
  StmtPtr parse_do(const Token& first, StmtKind kind);
  void parse_do_body(const Token& first, StmtList* body);
  DoClause parse_do_clause();
  StmtPtr parse_select(const Token& first, StmtKind kind);
  StmtPtr parse_model(const Token& first, StmtKind kind);
  StmtPtr parse_retain(const Token& first, StmtKind kind);
  StmtPtr parse_array(const Token& first, StmtKind kind);
  StmtPtr parse_length(const Token& first, StmtKind kind);
  StmtPtr parse_jump(const Token& first, StmtKind kind);
  StmtPtr parse_put(const Token& first, StmtKind kind);
  StmtPtr parse_label(const Token& first, StmtKind kind);
  StmtPtr parse_attrib(const Token& first, StmtKind kind);
  StmtPtr parse_format(const Token& first, StmtKind kind);
  StmtPtr parse_simple(const Token& first, StmtKind kind);
  StmtPtr parse_loop_control(const Token& first, StmtKind kind);
  StmtPtr parse_where(const Token& first, StmtKind kind);
  StmtPtr parse_var_statement(const Token& first, StmtKind kind);
  StmtPtr parse_keyword(const Token& first);
  ExprPtr parse_target();
  ExprList parse_initial_values();
  std::string parse_format_spec();

  Cursor& in_;
  ExpressionContext expr_;
  std::set<std::string> arrays_;
  int loop_depth_ = 0;
  std::vector<const Stmt*> models_;
  std::vector<SourcePiece> pieces_;
  std::size_t current_piece_ = 0;
};

}  // namespace platform::language
