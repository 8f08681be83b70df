#include "platform/language/lexer.h"

#include <array>
#include <cctype>
#include <cstdlib>

#include "platform/language/literals.h"
#include "platform/language/messages.h"

namespace platform::language {
namespace {

bool name_start(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool name_char(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }
bool digit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

std::string upper_of(std::string_view s) {
  std::string u(s);
  for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

// Operators of two characters, tried before the single ones.
constexpr std::array<std::string_view, 13> kPairs = {
    "**", "||", "!!", "<=", ">=", "^=", "~=", "><", "<>", "^<", "^>", "~<", "~>"};
constexpr std::string_view kSingles = "!|&()[]{}+-*/,:;=<>^~$@";

class Lexer {
 public:
  Lexer(std::string_view src, int first_line) : src_(src), line_(first_line) {}

  LexResult run() {
    while (true) {
      skip_blanks_and_comments();
      if (i_ >= src_.size()) break;
      if (at_statement_start_ && src_[i_] == '*') {
        skip_comment_statement();
        continue;
      }
      at_statement_start_ = false;
      lex_one();
    }
    Token end;
    end.kind = TokenKind::End;
    end.pos = here();
    end.offset = src_.size();
    end.spell = src_.substr(src_.size());
    out_.tokens.push_back(std::move(end));
    return std::move(out_);
  }

 private:
  SourcePos here() const { return {line_, static_cast<int>(i_ - line_start_) + 1}; }

  void advance(std::size_t n) {
    for (std::size_t k = 0; k < n && i_ < src_.size(); ++k, ++i_) {
      if (src_[i_] == '\n') {
        ++line_;
        line_start_ = i_ + 1;
      }
    }
  }

  char at(std::size_t k) const { return i_ + k < src_.size() ? src_[i_ + k] : '\0'; }

  void error(SourcePos pos, int number, std::string_view text) {
    out_.errors.push_back({pos, number, std::string(text)});
  }

  void skip_blanks_and_comments() {
    while (i_ < src_.size()) {
      if (std::isspace(static_cast<unsigned char>(src_[i_]))) {
        advance(1);
      } else if (src_[i_] == '/' && at(1) == '*') {
        SourcePos pos = here();
        std::size_t close = src_.find("*/", i_ + 2);
        if (close == std::string_view::npos) {
          error(pos, msg::kUnclosedComment, "/*");
          advance(src_.size() - i_);
        } else {
          advance(close + 2 - i_);
        }
      } else {
        break;
      }
    }
  }

  // "* text ;" where a statement may begin is a comment up to the semicolon.
  void skip_comment_statement() {
    std::size_t semi = src_.find(';', i_);
    advance(semi == std::string_view::npos ? src_.size() - i_ : semi + 1 - i_);
  }

  Token start(TokenKind kind) {
    Token t;
    t.kind = kind;
    t.pos = here();
    t.offset = i_;
    return t;
  }

  void finish(Token t) {
    t.spell = src_.substr(t.offset, i_ - t.offset);
    if (t.kind == TokenKind::Operator && t.upper == ";") at_statement_start_ = true;
    out_.tokens.push_back(std::move(t));
  }

  void lex_one() {
    const char c = src_[i_];
    if (name_start(c)) return lex_name();
    if (digit(c) || (c == '.' && digit(at(1)))) return lex_number();
    if (c == '.') return lex_missing();
    if (c == '\'' || c == '"') return lex_quoted();
    if (c == '$' && (digit(at(1)) || name_start(at(1))) && format_ends_here(1)) return lex_format();
    for (std::string_view op : kPairs) {
      if (src_.substr(i_, 2) == op) {
        Token t = start(TokenKind::Operator);
        t.upper = std::string(op);
        advance(2);
        return finish(std::move(t));
      }
    }
    if (kSingles.find(c) != std::string_view::npos) {
      Token t = start(TokenKind::Operator);
      t.upper = std::string(1, c);
      advance(1);
      return finish(std::move(t));
    }
    error(here(), msg::kBadCharacter, src_.substr(i_, 1));
    advance(1);
  }

  // Whether the letters and digits from offset k on end with a period, as a
  // format name does.
  bool format_ends_here(std::size_t k) const {
    while (name_char(at(k))) ++k;
    return at(k) == '.';
  }

  std::size_t name_end(std::size_t from) const {
    std::size_t j = from;
    while (j < src_.size() && name_char(src_[j])) ++j;
    return j;
  }

  void lex_name() {
    Token t = start(TokenKind::Name);
    std::size_t end = name_end(i_);
    t.upper = upper_of(src_.substr(i_, end - i_));
    advance(end - i_);
    const int parts = t.upper == "DER" ? 2 : t.upper == "MODEL" ? 1 : 0;
    if (parts > 0 && at(0) == '.' && name_start(at(1))) {
      // A compound name: DER.p, DER.p.q or MODEL.y.
      t.kind = TokenKind::Compound;
      for (int p = 0; p < parts && at(0) == '.' && name_start(at(1)); ++p) {
        std::size_t e = name_end(i_ + 1);
        t.upper += '.' + upper_of(src_.substr(i_ + 1, e - i_ - 1));
        advance(e - i_);
      }
    } else if (parts == 0 && at(0) == '.' && name_start(at(1))) {
      // A two-level data-set name: library.member.
      std::size_t e = name_end(i_ + 1);
      t.upper += '.' + upper_of(src_.substr(i_ + 1, e - i_ - 1));
      advance(e - i_);
    } else if (at(0) == '.') {
      // A format: a name followed at once by a period and optional decimals.
      t.kind = TokenKind::Format;
      advance(1);
      while (digit(at(0))) advance(1);
      t.upper = upper_of(src_.substr(t.offset, i_ - t.offset));
    } else if (t.upper.size() > kMaxNameLength) {
      error(t.pos, msg::kNameTooLong, src_.substr(t.offset, i_ - t.offset));
    }
    finish(std::move(t));
  }

  void lex_format() {
    Token t = start(TokenKind::Format);
    advance(name_end(i_ + 1) - i_);  // $ and the name or width
    advance(1);                      // the period
    while (digit(at(0))) advance(1);
    t.upper = upper_of(src_.substr(t.offset, i_ - t.offset));
    finish(std::move(t));
  }

  void lex_number() {
    Token t = start(TokenKind::Number);
    bool integer = true;
    while (digit(at(0))) advance(1);
    if (at(0) == '.') {
      integer = false;
      advance(1);
      while (digit(at(0))) advance(1);
    }
    if ((at(0) == 'e' || at(0) == 'E') &&
        (digit(at(1)) || ((at(1) == '+' || at(1) == '-') && digit(at(2))))) {
      integer = false;
      advance(2);
      while (digit(at(0))) advance(1);
    }
    std::string text(src_.substr(t.offset, i_ - t.offset));
    t.number = std::strtod(text.c_str(), nullptr);
    t.integer = integer;
    if (name_char(at(0))) {
      // 12abc is neither a number nor a name.
      std::size_t end = name_end(i_);
      error(t.pos, msg::kBadNumber, src_.substr(t.offset, end - t.offset));
      advance(end - i_);
    }
    finish(std::move(t));
  }

  void lex_missing() {
    Token t = start(TokenKind::Missing);
    advance(1);
    if ((std::isalpha(static_cast<unsigned char>(at(0))) || at(0) == '_') && !name_char(at(1))) {
      t.missing = static_cast<char>(std::toupper(static_cast<unsigned char>(at(0))));
      advance(1);
    } else if (name_char(at(0))) {
      std::size_t end = name_end(i_);
      error(t.pos, msg::kBadMissing, src_.substr(t.offset, end - t.offset));
      advance(end - i_);
    }
    finish(std::move(t));
  }

  void lex_quoted() {
    Token t = start(TokenKind::String);
    const char quote = src_[i_];
    advance(1);
    while (true) {
      if (i_ >= src_.size()) {
        error(t.pos, msg::kUnclosedString, src_.substr(t.offset, 20));
        return finish(std::move(t));
      }
      if (src_[i_] == quote) {
        if (at(1) == quote) {  // a doubled quote stands for one
          t.value += quote;
          advance(2);
          continue;
        }
        advance(1);
        break;
      }
      t.value += src_[i_];
      advance(1);
    }
    lex_literal_suffix(t);
    finish(std::move(t));
  }

  // 'text'D, 'text'T and 'text'DT are date, time and datetime literals.
  void lex_literal_suffix(Token& t) {
    const char a = static_cast<char>(std::toupper(static_cast<unsigned char>(at(0))));
    const char b = static_cast<char>(std::toupper(static_cast<unsigned char>(at(1))));
    std::optional<double> v;
    if (a == 'D' && b == 'T' && !name_char(at(2))) {
      t.kind = TokenKind::DateTime;
      v = parse_datetime_literal(t.value);
      advance(2);
    } else if ((a == 'D' || a == 'T') && !name_char(at(1))) {
      t.kind = a == 'D' ? TokenKind::Date : TokenKind::Time;
      v = a == 'D' ? parse_date_literal(t.value) : parse_time_literal(t.value);
      advance(1);
    } else {
      return;
    }
    if (!v) error(t.pos, msg::kBadDateLiteral, src_.substr(t.offset, i_ - t.offset));
    t.number = v.value_or(0);
  }

  std::string_view src_;
  std::size_t i_ = 0;
  int line_;
  std::size_t line_start_ = 0;
  bool at_statement_start_ = true;
  LexResult out_;
};

}  // namespace

LexResult tokenize(std::string_view source, int first_line) {
  return Lexer(source, first_line).run();
}

}  // namespace platform::language
