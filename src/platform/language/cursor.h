// A cursor over a step's tokens for the recursive-descent parsers, with the
// statement boundaries ("segments": the tokens of one statement up to and
// including its semicolon) and the error that abandons a statement.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/language/lexer.h"
#include "platform/language/messages.h"

namespace platform::language {

// One statement of the source: its labels, its first token after them and
// its semicolon.
struct Segment {
  std::size_t label_begin = 0;      // first token (a label or the keyword)
  std::size_t first = 0;            // first token after the labels
  std::size_t semicolon = 0;        // index of the ";" (or of the End token)
  std::vector<std::string> labels;  // as written
};

// One compiled statement's own tokens, without the statements nested in
// it: "IF x THEN", "ELSE", "DO i = 1 TO 3;", "y = 1;", "END;". Labels are
// part of the statement they stand in front of.
struct SourcePiece {
  std::size_t begin = 0;  // first token, its labels included
  std::size_t first = 0;  // first token after the labels
  std::size_t end = 0;    // one past the last token
  std::string name;       // statement name: keyword, or ASSIGN for an assignment
};

// A statement error: abandons the statement being parsed.
struct ParseError {
  SourcePos pos;
  int message;
  std::vector<std::string> inserts;  // text inserts, in order
  int set = msg::kSet;               // the catalogue set of `message`
};

// How deep a statement may nest. The parsers recurse once per level of
// nesting, and every later pass over the syntax tree (type analysis,
// data flow, derivatives, code generation, printing) recurses once per
// level of the tree, so these limits bound the stack they all need.
//   kMaxNesting: statements inside IF, ELSE, DO and SELECT, parentheses,
//     the arguments of a call or subscripts of an element, prefix
//     operators and the right operand of **, >< and <>.
//   kMaxTreeDepth: the depth of an expression's tree, which a chain of
//     binary operators (a+b+c+...) deepens by one for each operator.
inline constexpr int kMaxNesting = 1000;
inline constexpr int kMaxTreeDepth = 50000;

// Splits the tokens into segments. "name:" at the start of a statement is a
// label. For the procedure statement "PROC RUVA ...", `first` is RUVA.
std::vector<Segment> split_segments(const std::vector<Token>& tokens);

class Cursor {
 public:
  Cursor(const std::vector<Token>& tokens, const std::vector<Segment>& segments)
      : tokens_(tokens), segments_(segments) {}

  // Called once for each segment, in order, when the parser first reaches it.
  void on_segment(std::function<void(std::size_t)> hook) { hook_ = std::move(hook); }

  const Token& peek(std::size_t ahead = 0);
  const Token& next();
  std::size_t position() const { return pos_; }
  void seek(std::size_t pos) { pos_ = pos; }
  bool at_end() { return peek().kind == TokenKind::End; }

  // The next token is the operator or keyword `op` (upper case).
  bool is(std::string_view op, std::size_t ahead = 0) { return peek(ahead).is(op); }
  bool accept(std::string_view op);
  const Token& expect(std::string_view op);
  // The next token as a plain name (no compound, no dotted name).
  const Token& expect_name(const char* what);
  // ";" ends the statement.
  void expect_end_of_statement();

  [[noreturn]] void fail_expected(const std::string& what);
  [[noreturn]] void fail(int message, std::vector<std::string> inserts);
  [[noreturn]] void fail_at(const Token& at, int message, std::vector<std::string> inserts);

  // One level of nesting for as long as it lives; the statement fails at
  // the current token when it would nest more than kMaxNesting levels.
  class Nested {
   public:
    explicit Nested(Cursor& in);
    ~Nested() { --in_.nesting_; }
    Nested(const Nested&) = delete;
    Nested& operator=(const Nested&) = delete;

   private:
    Cursor& in_;
  };

  // The segment that holds the current token and where its labels end.
  const Segment* segment_at(std::size_t token) const;
  const std::vector<Segment>& segments() const { return segments_; }
  const std::vector<Token>& tokens() const { return tokens_; }

  // Skips to just after the semicolon of the segment holding the current
  // token (error recovery).
  void skip_statement();

 private:
  void announce_up_to(std::size_t token);

  const std::vector<Token>& tokens_;
  const std::vector<Segment>& segments_;
  std::size_t pos_ = 0;
  std::size_t announced_ = 0;  // segments announced so far
  int nesting_ = 0;            // levels entered through Nested
  std::function<void(std::size_t)> hook_;
};

}  // namespace platform::language
