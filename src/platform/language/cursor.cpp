#include "platform/language/cursor.h"

#include <algorithm>

#include "platform/language/messages.h"

namespace platform::language {

std::vector<Segment> split_segments(const std::vector<Token>& tokens) {
  std::vector<Segment> out;
  std::size_t i = 0;
  const std::size_t end = tokens.size() - 1;  // the End token
  while (i < end) {
    Segment s;
    s.label_begin = i;
    while (i + 1 < end && tokens[i].kind == TokenKind::Name && tokens[i + 1].is(":") &&
           tokens[i].upper.find('.') == std::string::npos) {
      s.labels.emplace_back(tokens[i].spell);
      i += 2;
    }
    s.first = i;
    if (tokens[i].is("PROC") && i + 1 < end && tokens[i + 1].is("RUVA")) s.first = i + 1;
    while (i < end && !tokens[i].is(";")) ++i;
    s.semicolon = i;
    out.push_back(std::move(s));
    if (i < end) ++i;
  }
  return out;
}

const Token& Cursor::peek(std::size_t ahead) {
  std::size_t at = std::min(pos_ + ahead, tokens_.size() - 1);
  announce_up_to(at);
  return tokens_[at];
}

const Token& Cursor::next() {
  const Token& t = peek();
  if (pos_ + 1 < tokens_.size()) ++pos_;
  return t;
}

bool Cursor::accept(std::string_view op) {
  if (!is(op)) return false;
  next();
  return true;
}

const Token& Cursor::expect(std::string_view op) {
  if (!is(op)) fail_expected("\"" + std::string(op) + "\"");
  return next();
}

const Token& Cursor::expect_name(const char* what) {
  const Token& t = peek();
  if (t.kind != TokenKind::Name || t.upper.find('.') != std::string::npos) fail_expected(what);
  return next();
}

void Cursor::expect_end_of_statement() {
  if (!is(";")) fail_expected("\";\"");
  next();
}

void Cursor::fail_expected(const std::string& what) {
  const Token& t = peek();
  std::string found = t.kind == TokenKind::End ? "the end of the step" : std::string(t.spell);
  fail(msg::kExpected, {what, found});
}

void Cursor::fail(int message, std::vector<std::string> inserts) {
  fail_at(peek(), message, std::move(inserts));
}

void Cursor::fail_at(const Token& at, int message, std::vector<std::string> inserts) {
  throw ParseError{at.pos, message, std::move(inserts)};
}

Cursor::Nested::Nested(Cursor& in) : in_(in) {
  if (in_.nesting_ >= kMaxNesting) {
    const Token& t = in_.peek();
    throw ParseError{t.pos, msg::kTooDeep, {std::to_string(kMaxNesting)}, msg::kCompilerSet};
  }
  ++in_.nesting_;
}

const Segment* Cursor::segment_at(std::size_t token) const {
  auto it = std::lower_bound(segments_.begin(), segments_.end(), token,
                             [](const Segment& s, std::size_t t) { return s.semicolon < t; });
  return it == segments_.end() ? nullptr : &*it;
}

void Cursor::skip_statement() {
  const Segment* s = segment_at(pos_);
  pos_ = s ? s->semicolon + 1 : tokens_.size() - 1;
  pos_ = std::min(pos_, tokens_.size() - 1);
}

void Cursor::announce_up_to(std::size_t token) {
  while (announced_ < segments_.size() && segments_[announced_].first <= token) {
    if (hook_) hook_(announced_);
    ++announced_;
  }
}

}  // namespace platform::language
