// The tokenizer of the statement language: one token stream for procedure
// statements and programming statements alike.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/language/ast.h"

namespace platform::language {

enum class TokenKind {
  Name,      // text as written; upper is the upper-cased name
  Compound,  // DER.p, DER.p.q, MODEL.y (upper: DER.P, ...)
  Number,    // number, the value
  Missing,   // ".", ".A" .. ".Z", "._"; missing holds '.', the letter or '_'
  String,    // value holds the text without quotes, doubled quotes undone
  Date,      // '01JAN2000'D: number holds days since 1 January 1960
  Time,      // '12:30:00'T: seconds since midnight
  DateTime,  // '01JAN2000:12:30'DT: seconds since 1 January 1960
  Format,    // best12. $char10. 8.2 date9. (name or $ followed by a period)
  Operator,  // upper holds the operator: ** || <= ... ; ( ) , etc.
  End,       // after the last token
};

struct Token {
  TokenKind kind = TokenKind::End;
  std::string_view spell;  // the token exactly as written in the source
  std::string upper;       // names, compound names, operators, formats: upper case
  std::string value;       // strings: the text
  double number = 0;       // numbers, dates, times, datetimes
  char missing = '.';      // missing literals
  SourcePos pos;
  std::size_t offset = 0;  // byte offset of the spell in the source
  bool integer = false;    // a number written without a period or an exponent

  bool is(std::string_view op) const {
    return (kind == TokenKind::Operator || kind == TokenKind::Name) && upper == op;
  }
  bool is_name() const { return kind == TokenKind::Name; }
};

// A tokenizer error: where and what.
struct LexError {
  SourcePos pos;
  int message;       // message number of set 305
  std::string text;  // the offending text
};

struct LexResult {
  std::vector<Token> tokens;  // always ends with an End token
  std::vector<LexError> errors;
};

// Splits `source` into tokens. Comments (/* ... */ anywhere, and * ... ; as
// a statement) are dropped. The tokens' spells point into `source`, which
// must outlive them. `first_line` is the line number of the first byte.
LexResult tokenize(std::string_view source, int first_line = 1);

// Longest names accepted, in characters.
inline constexpr std::size_t kMaxNameLength = 32;

}  // namespace platform::language
