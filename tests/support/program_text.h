// A small parser of programming statements into the syntax tree, for tests
// and benchmarks only: it lets a test state a program as text, with real
// line and column positions. It covers the statements the compiler's tests
// use; the system's own parser is the statement language's.
#pragma once

#include <cctype>
#include <cstdlib>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/language/ast.h"

namespace test_support {

namespace lang = platform::language;

class ProgramText {
 public:
  explicit ProgramText(std::string_view text) : text_(text) { tokenize(); }

  lang::Program parse() {
    lang::Program program;
    while (!at_end()) program.statements.push_back(statement());
    return program;
  }

 private:
  enum class Tok { Name, Number, String, Missing, Punct, End };
  struct Token {
    Tok kind;
    std::string text;  // names as written; punctuation; string contents
    double number = 0;
    char missing = '.';
    int line = 0, column = 0;
  };

  // ---- tokens
  void tokenize() {
    std::size_t i = 0;
    int line = 1, col = 1;
    auto advance = [&](std::size_t n) {
      for (std::size_t k = 0; k < n; ++k, ++i) {
        if (text_[i] == '\n') ++line, col = 1;
        else ++col;
      }
    };
    while (i < text_.size()) {
      const char ch = text_[i];
      if (std::isspace(static_cast<unsigned char>(ch))) { advance(1); continue; }
      if (text_.compare(i, 2, "/*") == 0) {
        const auto end = text_.find("*/", i + 2);
        advance((end == std::string_view::npos ? text_.size() : end + 2) - i);
        continue;
      }
      Token t{Tok::Punct, "", 0, '.', line, col};
      if (std::isalpha(static_cast<unsigned char>(ch)) || ch == '_') {
        std::size_t j = i;
        while (j < text_.size()) {
          const char c = text_[j];
          if (std::isalnum(static_cast<unsigned char>(c)) || c == '_') { ++j; continue; }
          if (c == '.' && j + 1 < text_.size() &&
              (std::isalpha(static_cast<unsigned char>(text_[j + 1])) || text_[j + 1] == '_')) {
            ++j;
            continue;
          }
          break;
        }
        t.kind = Tok::Name;
        t.text = std::string(text_.substr(i, j - i));
        advance(j - i);
      } else if (std::isdigit(static_cast<unsigned char>(ch)) ||
                 (ch == '.' && i + 1 < text_.size() && std::isdigit(static_cast<unsigned char>(text_[i + 1])))) {
        char* end = nullptr;
        const std::string rest(text_.substr(i));
        t.kind = Tok::Number;
        t.number = std::strtod(rest.c_str(), &end);
        advance(static_cast<std::size_t>(end - rest.c_str()));
      } else if (ch == '.') {
        t.kind = Tok::Missing;
        std::size_t n = 1;
        if (i + 1 < text_.size() && (std::isupper(static_cast<unsigned char>(text_[i + 1])) || text_[i + 1] == '_') &&
            !(i + 2 < text_.size() && std::isalnum(static_cast<unsigned char>(text_[i + 2])))) {
          t.missing = text_[i + 1];
          n = 2;
        }
        advance(n);
      } else if (ch == '\'' || ch == '"') {
        std::size_t j = i + 1;
        std::string s;
        while (j < text_.size()) {
          if (text_[j] == ch) {
            if (j + 1 < text_.size() && text_[j + 1] == ch) { s += ch; j += 2; continue; }
            break;
          }
          s += text_[j++];
        }
        t.kind = Tok::String;
        t.text = s;
        advance(j + 1 - i);
      } else {
        static const char* const two[] = {"**", "||", "<=", ">=", "^=", "~=", "><", "<>"};
        t.text = std::string(1, ch);
        for (const char* op : two)
          if (text_.compare(i, 2, op) == 0) t.text = op;
        advance(t.text.size());
      }
      tokens_.push_back(t);
    }
    tokens_.push_back({Tok::End, "", 0, '.', line, col});
  }

  const Token& peek(std::size_t ahead = 0) const {
    return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)];
  }
  bool at_end() const { return peek().kind == Tok::End; }
  Token take() { return tokens_[std::min(pos_++, tokens_.size() - 1)]; }
  static std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
  }
  bool is_punct(const char* p, std::size_t ahead = 0) const {
    return peek(ahead).kind == Tok::Punct && peek(ahead).text == p;
  }
  bool is_word(const char* w, std::size_t ahead = 0) const {
    return peek(ahead).kind == Tok::Name && upper(peek(ahead).text) == w;
  }
  void expect(const char* p) {
    if (!is_punct(p)) fail(std::string("expected ") + p);
    take();
  }
  void expect_word(const char* w) {
    if (!is_word(w)) fail(std::string("expected ") + w);
    take();
  }
  [[noreturn]] void fail(const std::string& what) const {
    throw std::runtime_error(what + " at line " + std::to_string(peek().line) + " column " +
                             std::to_string(peek().column) + " near '" + peek().text + "'");
  }
  static lang::SourcePos pos_of(const Token& t) { return {t.line, t.column}; }

  // ---- expressions
  lang::ExprPtr node(lang::ExprKind kind, const Token& at) {
    auto e = std::make_unique<lang::Expr>();
    e->kind = kind;
    e->pos = pos_of(at);
    return e;
  }
  lang::ExprPtr binary(lang::BinaryOp op, lang::ExprPtr l, lang::ExprPtr r) {
    auto e = std::make_unique<lang::Expr>();
    e->kind = lang::ExprKind::Binary;
    e->pos = l->pos;
    e->binary_op = op;
    e->args.push_back(std::move(l));
    e->args.push_back(std::move(r));
    return e;
  }
  static lang::ExprPtr clone(const lang::Expr& e) {
    auto c = std::make_unique<lang::Expr>();
    c->kind = e.kind; c->pos = e.pos; c->number = e.number; c->form = e.form;
    c->missing = e.missing; c->name = e.name; c->key = e.key; c->unary_op = e.unary_op;
    c->binary_op = e.binary_op; c->negated = e.negated;
    for (const auto& a : e.args) c->args.push_back(clone(*a));
    return c;
  }

  lang::ExprPtr expression() { return or_expr(); }
  lang::ExprPtr or_expr() {
    auto l = and_expr();
    while (is_punct("|") || is_word("OR")) { take(); l = binary(lang::BinaryOp::Or, std::move(l), and_expr()); }
    return l;
  }
  lang::ExprPtr and_expr() {
    auto l = comparison();
    while (is_punct("&") || is_word("AND")) { take(); l = binary(lang::BinaryOp::And, std::move(l), comparison()); }
    return l;
  }
  bool comparison_op(lang::BinaryOp* op) const {
    static const std::pair<const char*, lang::BinaryOp> puncts[] = {
        {"=", lang::BinaryOp::Eq}, {"^=", lang::BinaryOp::Ne}, {"~=", lang::BinaryOp::Ne},
        {"<", lang::BinaryOp::Lt}, {"<=", lang::BinaryOp::Le}, {">", lang::BinaryOp::Gt},
        {">=", lang::BinaryOp::Ge}};
    static const std::pair<const char*, lang::BinaryOp> words[] = {
        {"EQ", lang::BinaryOp::Eq}, {"NE", lang::BinaryOp::Ne}, {"LT", lang::BinaryOp::Lt},
        {"LE", lang::BinaryOp::Le}, {"GT", lang::BinaryOp::Gt}, {"GE", lang::BinaryOp::Ge}};
    for (auto [p, o] : puncts) if (is_punct(p)) return *op = o, true;
    for (auto [w, o] : words) if (is_word(w)) return *op = o, true;
    return false;
  }
  lang::ExprPtr comparison() {
    auto first = concat();
    std::vector<lang::ExprPtr> operands;
    std::vector<lang::BinaryOp> ops;
    operands.push_back(std::move(first));
    for (;;) {
      lang::BinaryOp op;
      if (is_word("IN") || (is_word("NOT") && is_word("IN", 1))) {
        const Token at = peek();
        const bool negated = is_word("NOT");
        take();
        if (negated) take();
        auto in = node(lang::ExprKind::In, at);
        in->negated = negated;
        in->pos = operands.back()->pos;
        in->args.push_back(std::move(operands.back()));
        expect("(");
        in->args.push_back(expression());
        while (is_punct(",")) { take(); in->args.push_back(expression()); }
        expect(")");
        operands.back() = std::move(in);
        continue;
      }
      if (!comparison_op(&op)) break;
      take();
      ops.push_back(op);
      operands.push_back(concat());
    }
    if (ops.empty()) return std::move(operands[0]);
    lang::ExprPtr result;
    for (std::size_t i = 0; i < ops.size(); ++i) {
      auto left = i == 0 ? std::move(operands[0]) : clone(*operands[i]);
      auto cmp = binary(ops[i], std::move(left), i + 1 < ops.size() ? clone(*operands[i + 1]) : std::move(operands[i + 1]));
      result = result ? binary(lang::BinaryOp::And, std::move(result), std::move(cmp)) : std::move(cmp);
    }
    return result;
  }
  lang::ExprPtr concat() {
    auto l = additive();
    while (is_punct("||")) { take(); l = binary(lang::BinaryOp::Concat, std::move(l), additive()); }
    return l;
  }
  lang::ExprPtr additive() {
    auto l = multiplicative();
    while (is_punct("+") || is_punct("-")) {
      const auto op = take().text == "+" ? lang::BinaryOp::Add : lang::BinaryOp::Subtract;
      l = binary(op, std::move(l), multiplicative());
    }
    return l;
  }
  lang::ExprPtr multiplicative() {
    auto l = unary();
    while (is_punct("*") || is_punct("/")) {
      const auto op = take().text == "*" ? lang::BinaryOp::Multiply : lang::BinaryOp::Divide;
      l = binary(op, std::move(l), unary());
    }
    return l;
  }
  lang::ExprPtr unary() {
    if (is_punct("-") || is_punct("+") || is_punct("^") || is_punct("~") || is_word("NOT")) {
      const Token t = take();
      auto e = node(lang::ExprKind::Unary, t);
      e->unary_op = t.text == "-" ? lang::UnaryOp::Minus : t.text == "+" ? lang::UnaryOp::Plus : lang::UnaryOp::Not;
      e->args.push_back(unary());
      return e;
    }
    auto base = primary();
    if (is_punct("**") || is_punct("><") || is_punct("<>")) {
      const std::string op = take().text;
      return binary(op == "**" ? lang::BinaryOp::Power : op == "><" ? lang::BinaryOp::Min : lang::BinaryOp::Max,
                    std::move(base), unary());
    }
    return base;
  }
  lang::ExprPtr primary() {
    const Token t = take();
    switch (t.kind) {
      case Tok::Number: { auto e = node(lang::ExprKind::Number, t); e->number = t.number; return e; }
      case Tok::Missing: { auto e = node(lang::ExprKind::Missing, t); e->missing = t.missing; return e; }
      case Tok::String: { auto e = node(lang::ExprKind::String, t); e->name = t.text; return e; }
      case Tok::Name: {
        const std::string key = upper(t.text);
        if (is_punct("{") || is_punct("[") || (is_punct("(") && arrays_.count(key))) {
          const std::string close = is_punct("{") ? "}" : is_punct("[") ? "]" : ")";
          take();
          auto e = node(lang::ExprKind::ArrayRef, t);
          e->name = t.text; e->key = key;
          e->args.push_back(expression());
          while (is_punct(",")) { take(); e->args.push_back(expression()); }
          expect(close.c_str());
          return e;
        }
        if (is_punct("(")) {
          take();
          auto e = node(lang::ExprKind::Call, t);
          e->name = t.text; e->key = key;
          if (!is_punct(")")) {
            e->args.push_back(expression());
            while (is_punct(",")) { take(); e->args.push_back(expression()); }
          }
          expect(")");
          return e;
        }
        auto e = node(lang::ExprKind::Variable, t);
        e->name = t.text; e->key = key;
        return e;
      }
      default:
        if (t.text == "(") { auto e = expression(); expect(")"); return e; }
        --pos_;
        fail("expected an expression");
    }
  }

  // ---- statements
  lang::StmtPtr stmt_node(lang::StmtKind kind, const Token& at) {
    auto s = std::make_unique<lang::Stmt>();
    s->kind = kind;
    s->pos = pos_of(at);
    return s;
  }
  lang::VarListItem var_item() {
    const Token t = take();
    if (t.kind != Tok::Name) fail("expected a variable name");
    return {lang::VarListKind::Name, pos_of(t), t.text, ""};
  }
  // Names with numbered ranges x1-x3 expanded.
  lang::VarList names() {
    lang::VarList out;
    while (peek().kind == Tok::Name && !is_word("_TEMPORARY_")) {
      auto item = var_item();
      if (is_punct("-") && peek(1).kind == Tok::Name) {
        take();
        const std::string last = take().text;
        std::size_t a = item.first.find_last_not_of("0123456789") + 1;
        std::size_t b = last.find_last_not_of("0123456789") + 1;
        const std::string stem = item.first.substr(0, a);
        for (int k = std::atoi(item.first.c_str() + a); k <= std::atoi(last.c_str() + b); ++k)
          out.push_back({lang::VarListKind::Name, item.pos, stem + std::to_string(k), ""});
        continue;
      }
      out.push_back(item);
    }
    return out;
  }
  lang::StmtList block() {
    lang::StmtList body;
    while (!is_word("END")) {
      if (at_end()) fail("expected END");
      body.push_back(statement());
    }
    take();
    expect(";");
    return body;
  }
  lang::ExprPtr literal_value() {
    if (is_punct("-")) {
      const Token t = take();
      auto e = node(lang::ExprKind::Number, t);
      e->number = -take().number;
      return e;
    }
    return primary();
  }
  bool at_literal() const {
    return peek().kind == Tok::Number || peek().kind == Tok::String || peek().kind == Tok::Missing ||
           (is_punct("-") && peek(1).kind == Tok::Number);
  }

  lang::StmtPtr statement() {
    std::vector<std::string> labels;
    while (peek().kind == Tok::Name && is_punct(":", 1)) { labels.push_back(take().text); take(); }
    auto s = bare_statement();
    s->labels = labels;
    return s;
  }

  lang::StmtPtr bare_statement() {
    const Token t = peek();
    if (is_punct(";")) { take(); return stmt_node(lang::StmtKind::Null, t); }
    if (t.kind != Tok::Name) fail("expected a statement");
    const std::string k = upper(t.text);
    const bool assignment = is_punct("=", 1) || is_punct("{", 1) || is_punct("[", 1) ||
                            (is_punct("(", 1) && arrays_.count(k));
    if (!assignment) {
      if (k == "IF") return if_statement();
      if (k == "DO") return do_statement();
      if (k == "SELECT") return select_statement();
      if (k == "RETAIN" || k == "CONTROL") return retain_statement(k == "CONTROL");
      if (k == "ARRAY") return array_statement();
      if (k == "LENGTH") return length_statement();
      if (k == "PUT") return put_statement();
      if (k == "MODEL") {
        take();
        auto s = stmt_node(lang::StmtKind::Model, t);
        s->target = primary();
        expect("=");
        s->value = expression();
        expect(";");
        return s;
      }
      if (k == "PARMS") return parms_statement();
      if (k == "ESTIMATE" || k == "CONTRAST") {
        take();
        auto s = stmt_node(k == "ESTIMATE" ? lang::StmtKind::Estimate : lang::StmtKind::Contrast, t);
        s->text = take().text;
        s->exprs.push_back(expression());
        while (is_punct(",")) { take(); s->exprs.push_back(expression()); }
        expect(";");
        return s;
      }
      if (k == "WHERE") {
        take();
        auto s = stmt_node(lang::StmtKind::Where, t);
        s->condition = expression();
        expect(";");
        return s;
      }
      if (k == "GOTO" || k == "LINK" || (k == "GO" && is_word("TO", 1))) {
        take();
        if (k == "GO") take();
        auto s = stmt_node(k == "LINK" ? lang::StmtKind::Link : lang::StmtKind::Goto, t);
        s->target_label = take().text;
        expect(";");
        return s;
      }
      static const std::pair<const char*, lang::StmtKind> simple[] = {
          {"DELETE", lang::StmtKind::Delete}, {"RETURN", lang::StmtKind::Return},
          {"STOP", lang::StmtKind::Stop},     {"ABORT", lang::StmtKind::Abort},
          {"LEAVE", lang::StmtKind::Leave},   {"CONTINUE", lang::StmtKind::Continue}};
      for (auto [word, kind] : simple)
        if (k == word) { take(); expect(";"); return stmt_node(kind, t); }
      if (k == "KEEP" || k == "DROP") {
        take();
        auto s = stmt_node(k == "KEEP" ? lang::StmtKind::Keep : lang::StmtKind::Drop, t);
        s->vars = names();
        expect(";");
        return s;
      }
    }
    auto s = stmt_node(lang::StmtKind::Assign, t);
    s->target = primary();
    expect("=");
    s->value = expression();
    expect(";");
    return s;
  }

  lang::StmtPtr if_statement() {
    auto s = stmt_node(lang::StmtKind::If, take());
    s->condition = expression();
    expect_word("THEN");
    s->body.push_back(statement());
    if (is_word("ELSE")) { take(); s->else_body.push_back(statement()); }
    return s;
  }

  lang::StmtPtr do_statement() {
    const Token t = take();
    if (is_punct(";")) { take(); auto s = stmt_node(lang::StmtKind::Do, t); s->body = block(); return s; }
    if (is_word("WHILE") || is_word("UNTIL")) {
      auto s = stmt_node(is_word("WHILE") ? lang::StmtKind::DoWhile : lang::StmtKind::DoUntil, t);
      take();
      expect("(");
      s->condition = expression();
      expect(")");
      expect(";");
      s->body = block();
      return s;
    }
    auto s = stmt_node(lang::StmtKind::DoIterative, t);
    s->target = primary();
    expect("=");
    for (;;) {
      lang::DoClause clause;
      clause.start = expression();
      if (is_word("TO")) { take(); clause.to = expression(); }
      if (is_word("BY")) { take(); clause.by = expression(); }
      if (is_word("WHILE")) { take(); expect("("); clause.while_cond = expression(); expect(")"); }
      if (is_word("UNTIL")) { take(); expect("("); clause.until_cond = expression(); expect(")"); }
      s->clauses.push_back(std::move(clause));
      if (!is_punct(",")) break;
      take();
    }
    expect(";");
    s->body = block();
    return s;
  }

  lang::StmtPtr select_statement() {
    auto s = stmt_node(lang::StmtKind::Select, take());
    if (is_punct("(")) { take(); s->value = expression(); expect(")"); }
    expect(";");
    while (is_word("WHEN")) {
      lang::WhenClause w;
      w.pos = pos_of(take());
      expect("(");
      w.values.push_back(expression());
      while (is_punct(",")) { take(); w.values.push_back(expression()); }
      expect(")");
      w.body = statement();
      s->whens.push_back(std::move(w));
    }
    if (is_word("OTHERWISE")) { take(); s->else_body.push_back(statement()); }
    expect_word("END");
    expect(";");
    return s;
  }

  lang::StmtPtr retain_statement(bool control) {
    auto s = stmt_node(control ? lang::StmtKind::Control : lang::StmtKind::Retain, take());
    while (!is_punct(";")) {
      lang::RetainItem item;
      item.vars = names();
      if (is_punct("=")) take();
      if (is_punct("(")) {
        take();
        while (!is_punct(")")) { item.initial.push_back(literal_value()); if (is_punct(",")) take(); }
        take();
      } else if (at_literal()) {
        item.initial.push_back(literal_value());
      }
      if (item.vars.empty() && item.initial.empty()) fail("expected a variable");
      s->retains.push_back(std::move(item));
    }
    take();
    return s;
  }

  lang::StmtPtr array_statement() {
    auto s = stmt_node(lang::StmtKind::Array, take());
    auto a = std::make_unique<lang::ArrayDecl>();
    a->name = take().text;
    a->key = upper(a->name);
    arrays_.insert(a->key);
    const std::string close = is_punct("{") ? "}" : is_punct("[") ? "]" : ")";
    take();
    for (;;) {
      lang::ArrayDim d;
      if (is_punct("*")) { take(); d.star = true; }
      else {
        const double first = (is_punct("-") ? (take(), -take().number) : take().number);
        if (is_punct(":")) { take(); d.lower = static_cast<long>(first); d.upper = static_cast<long>(is_punct("-") ? (take(), -take().number) : take().number); }
        else d.upper = static_cast<long>(first);
      }
      a->dims.push_back(d);
      if (!is_punct(",")) break;
      take();
    }
    expect(close.c_str());
    if (is_punct("$")) { take(); a->is_char = true; }
    if (peek().kind == Tok::Number) a->length = static_cast<int>(take().number);
    if (is_word("_TEMPORARY_")) { take(); a->temporary = true; }
    a->elements = names();
    if (is_punct("(")) {
      take();
      while (!is_punct(")")) { a->initial.push_back(literal_value()); if (is_punct(",")) take(); }
      take();
    }
    expect(";");
    s->array = std::move(a);
    return s;
  }

  lang::StmtPtr length_statement() {
    auto s = stmt_node(lang::StmtKind::Length, take());
    while (!is_punct(";")) {
      lang::LengthItem item;
      item.vars = names();
      if (is_punct("$")) { take(); item.is_char = true; }
      item.length = static_cast<int>(take().number);
      s->lengths.push_back(std::move(item));
    }
    take();
    return s;
  }

  lang::StmtPtr put_statement() {
    auto s = stmt_node(lang::StmtKind::Put, take());
    while (!is_punct(";")) {
      lang::PutItem item;
      item.pos = pos_of(peek());
      if (peek().kind == Tok::String) { item.kind = lang::PutKind::Text; item.text = take().text; }
      else if (is_word("_ALL_")) { take(); item.kind = lang::PutKind::All; }
      else {
        item.value = primary();
        if (is_punct("=")) { take(); item.kind = lang::PutKind::NamedValue; }
      }
      s->puts.push_back(std::move(item));
    }
    take();
    return s;
  }

  lang::StmtPtr parms_statement() {
    auto s = stmt_node(lang::StmtKind::Parms, take());
    while (!is_punct(";")) {
      lang::ParmGroup g;
      g.names = names();
      if (is_punct("=")) take();
      while (at_literal()) {
        lang::ValueRange v;
        v.start = literal_value()->number;
        if (is_word("TO")) {
          take();
          v.has_to = true;
          v.to = literal_value()->number;
          if (is_word("BY")) { take(); v.by = literal_value()->number; }
        }
        g.values.push_back(v);
        if (is_punct(",")) take();
      }
      s->parm_groups.push_back(std::move(g));
    }
    take();
    return s;
  }

  std::string_view text_;
  std::vector<Token> tokens_;
  std::size_t pos_ = 0;
  std::set<std::string> arrays_;
};

// Parses program text; throws std::runtime_error on a syntax error.
inline lang::Program parse_program(std::string_view text) { return ProgramText(text).parse(); }

// The same as a ProgramParser for the compiler's compile-from-text entry.
inline bool parse_program_text(std::string_view text, lang::Program* program, std::string* error) {
  try {
    *program = parse_program(text);
    return true;
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return false;
  }
}

}  // namespace test_support
