#include "platform/language/expression_parser.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "platform/language/messages.h"

namespace platform::language {
namespace {

ExprPtr make(ExprKind kind, SourcePos pos) {
  auto e = std::make_unique<Expr>();
  e->kind = kind;
  e->pos = pos;
  return e;
}

ExprPtr make_binary(BinaryOp op, ExprPtr left, ExprPtr right) {
  auto e = make(ExprKind::Binary, left->pos);
  e->binary_op = op;
  e->args.push_back(std::move(left));
  e->args.push_back(std::move(right));
  return e;
}

ExprPtr make_unary(UnaryOp op, SourcePos pos, ExprPtr operand) {
  auto e = make(ExprKind::Unary, pos);
  e->unary_op = op;
  e->args.push_back(std::move(operand));
  return e;
}

bool is_not(const Token& t) { return t.is("NOT") || t.is("^") || t.is("~"); }

// Every parse_* function leaves the depth of the tree it returns in
// height_, so that a chain of binary operators, which the parser builds in
// a loop, is stopped at kMaxTreeDepth; recursion goes through Nested.
class ExpressionParser {
 public:
  ExpressionParser(Cursor& in, const ExpressionContext& ctx) : in_(in), ctx_(ctx) {}

  // Group 7: | OR.
  ExprPtr parse_or() {
    ExprPtr left = parse_and();
    while (in_.is("|") || in_.is("!") || in_.is("OR")) {
      const int left_height = height_;
      const Token& op = in_.next();
      ExprPtr right = parse_and();
      left = binary(op, BinaryOp::Or, std::move(left), left_height, std::move(right));
    }
    return left;
  }

  ExprPtr parse_primary() {
    const Token& t = in_.peek();
    height_ = 1;
    if (ExprPtr lit = literal_from(t)) {
      in_.next();
      return lit;
    }
    if (t.is("(")) {
      Cursor::Nested nested(in_);
      in_.next();
      ExprPtr inner = parse_or();
      in_.expect(")");
      return inner;
    }
    if (t.kind == TokenKind::Compound) {
      in_.next();
      auto e = make(ExprKind::Variable, t.pos);
      e->name = std::string(t.spell);
      e->key = t.upper;
      return e;
    }
    if (t.kind == TokenKind::Name) return parse_name();
    in_.fail_expected("an expression");
  }

 private:
  // left op right, right being the expression parsed last; fails at the
  // operator when the tree would be deeper than kMaxTreeDepth.
  ExprPtr binary(const Token& at, BinaryOp op, ExprPtr left, int left_height, ExprPtr right) {
    grow(at, std::max(left_height, height_) + 1);
    return make_binary(op, std::move(left), std::move(right));
  }

  void grow(const Token& at, int height) {
    height_ = height;
    if (height_ > kMaxTreeDepth)
      throw ParseError{at.pos, msg::kTreeTooDeep, {std::to_string(kMaxTreeDepth)}, msg::kCompilerSet};
  }

  // Group 6: & AND.
  ExprPtr parse_and() {
    ExprPtr left = parse_comparison();
    while (in_.is("&") || in_.is("AND")) {
      const int left_height = height_;
      const Token& op = in_.next();
      ExprPtr right = parse_comparison();
      left = binary(op, BinaryOp::And, std::move(left), left_height, std::move(right));
    }
    return left;
  }

  // Group 5: comparisons and IN. A chain a < b < c means (a < b) & (b < c).
  ExprPtr parse_comparison() {
    ExprPtr left = parse_concat();
    ExprPtr chain;
    int chain_height = 0;
    while (true) {
      if (is_in_operator()) {
        left = parse_in_list(std::move(left));
        continue;
      }
      auto op = comparison_operator();
      if (!op) break;
      const int left_height = height_;
      const Token& at = in_.next();
      ExprPtr right = parse_concat();
      const int middle_height = height_;
      ExprPtr middle = clone(*right);
      ExprPtr cmp = binary(at, *op, std::move(left), left_height, std::move(right));
      if (chain) cmp = binary(at, BinaryOp::And, std::move(chain), chain_height, std::move(cmp));
      chain = std::move(cmp);
      chain_height = height_;
      left = std::move(middle);
      height_ = middle_height;
    }
    if (!chain) return left;
    height_ = chain_height;
    return chain;
  }

  bool is_in_operator() {
    return in_.is("IN") || in_.is("NOTIN") || (is_not(in_.peek()) && in_.is("IN", 1));
  }

  // The value's height is height_ on entry; the list holds constants only.
  ExprPtr parse_in_list(ExprPtr value) {
    const Token& at = in_.peek();
    grow(at, height_ + 1);
    auto e = make(ExprKind::In, value->pos);
    if (in_.accept("NOTIN")) {
      e->negated = true;
    } else {
      if (is_not(in_.peek())) {
        in_.next();
        e->negated = true;
      }
      in_.expect("IN");
    }
    e->args.push_back(std::move(value));
    in_.expect("(");
    do {
      e->args.push_back(parse_in_item());
    } while (in_.accept(","));
    in_.expect(")");
    return e;
  }

  // An IN list holds constants, optionally signed.
  ExprPtr parse_in_item() {
    const Token& t = in_.peek();
    if (t.is("-") || t.is("+")) {
      const bool minus = t.is("-");
      in_.next();
      const Token& n = in_.peek();
      if (n.kind != TokenKind::Number) in_.fail_expected("a number");
      in_.next();
      return make_number(minus ? -n.number : n.number, t.pos);
    }
    ExprPtr lit = literal_from(t);
    if (!lit) in_.fail_expected("a constant");
    in_.next();
    return lit;
  }

  std::optional<BinaryOp> comparison_operator() {
    const Token& t = in_.peek();
    if (t.is("=") || t.is("EQ")) return BinaryOp::Eq;
    if (t.is("^=") || t.is("~=") || t.is("NE")) return BinaryOp::Ne;
    if (t.is("<>") && ctx_.where) return BinaryOp::Ne;
    if (t.is("<") || t.is("LT")) return BinaryOp::Lt;
    if (t.is("<=") || t.is("LE") || t.is("^>") || t.is("~>")) return BinaryOp::Le;
    if (t.is(">") || t.is("GT")) return BinaryOp::Gt;
    if (t.is(">=") || t.is("GE") || t.is("^<") || t.is("~<")) return BinaryOp::Ge;
    return std::nullopt;
  }

  // Group 4: || concatenation.
  ExprPtr parse_concat() {
    ExprPtr left = parse_additive();
    while (in_.is("||") || in_.is("!!")) {
      const int left_height = height_;
      const Token& op = in_.next();
      ExprPtr right = parse_additive();
      left = binary(op, BinaryOp::Concat, std::move(left), left_height, std::move(right));
    }
    return left;
  }

  // Group 3: infix + and -.
  ExprPtr parse_additive() {
    ExprPtr left = parse_multiplicative();
    while (in_.is("+") || in_.is("-")) {
      const int left_height = height_;
      const Token& op = in_.next();
      ExprPtr right = parse_multiplicative();
      left = binary(op, op.is("+") ? BinaryOp::Add : BinaryOp::Subtract, std::move(left), left_height,
                    std::move(right));
    }
    return left;
  }

  // Group 2: * and /.
  ExprPtr parse_multiplicative() {
    ExprPtr left = parse_group1();
    while (in_.is("*") || (in_.is("/") && !(ctx_.slash_ends && ctx_.slash_ends(in_)))) {
      const int left_height = height_;
      const Token& op = in_.next();
      ExprPtr right = parse_group1();
      left = binary(op, op.is("*") ? BinaryOp::Multiply : BinaryOp::Divide, std::move(left), left_height,
                    std::move(right));
    }
    return left;
  }

  // Group 1, right to left: prefix + - NOT, then ** >< <> (the right operand
  // is again a group-1 expression, so 2**-1 and 2**3**2 work).
  ExprPtr parse_group1() {
    const Token& t = in_.peek();
    if (t.is("+") || t.is("-") || is_not(t)) {
      Cursor::Nested nested(in_);
      const UnaryOp op = t.is("+") ? UnaryOp::Plus : t.is("-") ? UnaryOp::Minus : UnaryOp::Not;
      in_.next();
      ExprPtr operand = parse_group1();
      grow(t, height_ + 1);
      return make_unary(op, t.pos, std::move(operand));
    }
    ExprPtr left = parse_primary();
    const bool power = in_.is("**");
    if (power || in_.is("><") || (in_.is("<>") && !ctx_.where)) {
      Cursor::Nested nested(in_);
      const int left_height = height_;
      const Token& op = in_.next();
      ExprPtr right = parse_group1();
      const BinaryOp kind = power ? BinaryOp::Power : op.is("><") ? BinaryOp::Min : BinaryOp::Max;
      return binary(op, kind, std::move(left), left_height, std::move(right));
    }
    return left;
  }

  ExprPtr parse_name() {
    const Token& t = in_.next();
    if (t.upper.find('.') != std::string::npos) in_.fail_at(t, msg::kNotAllowedHere, {std::string(t.spell)});
    const bool array = ctx_.is_array && ctx_.is_array(t.upper);
    const bool brace = in_.is("{") || in_.is("[");
    const bool call = !brace && in_.is("(");
    if (!brace && !call) {
      auto e = make(ExprKind::Variable, t.pos);
      e->name = std::string(t.spell);
      e->key = t.upper;
      return e;
    }
    Cursor::Nested nested(in_);
    const std::string close = in_.is("{") ? "}" : in_.is("[") ? "]" : ")";
    in_.next();
    auto e = make(array || brace ? ExprKind::ArrayRef : ExprKind::Call, t.pos);
    e->name = std::string(t.spell);
    e->key = t.upper;
    int height = 0;
    // A function call may have no arguments; an element needs a subscript.
    if (e->kind == ExprKind::ArrayRef || !in_.is(")")) {
      do {
        e->args.push_back(parse_or());
        height = std::max(height, height_);
      } while (in_.accept(","));
    }
    in_.expect(close);
    grow(t, height + 1);
    return e;
  }

  Cursor& in_;
  const ExpressionContext& ctx_;
  int height_ = 0;  // depth of the tree the last parse_* returned
};

}  // namespace

ExprPtr make_number(double value, SourcePos pos, NumberForm form) {
  auto e = make(ExprKind::Number, pos);
  e->number = value;
  e->form = form;
  return e;
}

ExprPtr literal_from(const Token& t) {
  switch (t.kind) {
    case TokenKind::Number: return make_number(t.number, t.pos);
    case TokenKind::Date: return make_number(t.number, t.pos, NumberForm::Date);
    case TokenKind::Time: return make_number(t.number, t.pos, NumberForm::Time);
    case TokenKind::DateTime: return make_number(t.number, t.pos, NumberForm::DateTime);
    case TokenKind::Missing: {
      auto e = make(ExprKind::Missing, t.pos);
      e->missing = t.missing;
      return e;
    }
    case TokenKind::String: {
      auto e = make(ExprKind::String, t.pos);
      e->name = t.value;
      return e;
    }
    default: return nullptr;
  }
}

ExprPtr parse_expression(Cursor& in, const ExpressionContext& ctx) {
  return ExpressionParser(in, ctx).parse_or();
}

ExprPtr parse_expression_primary_only(Cursor& in, const ExpressionContext& ctx) {
  return ExpressionParser(in, ctx).parse_primary();
}

namespace {
ExprPtr copy_node(const Expr& e) {
  auto c = std::make_unique<Expr>();
  c->kind = e.kind;
  c->pos = e.pos;
  c->number = e.number;
  c->form = e.form;
  c->missing = e.missing;
  c->name = e.name;
  c->key = e.key;
  c->unary_op = e.unary_op;
  c->binary_op = e.binary_op;
  c->negated = e.negated;
  return c;
}
}  // namespace

// With a stack of its own: a tree may be as deep as kMaxTreeDepth.
ExprPtr clone(const Expr& e) {
  ExprPtr root = copy_node(e);
  std::vector<std::pair<const Expr*, Expr*>> pending{{&e, root.get()}};
  while (!pending.empty()) {
    const auto [from, to] = pending.back();
    pending.pop_back();
    to->args.reserve(from->args.size());
    for (const ExprPtr& a : from->args) {
      to->args.push_back(copy_node(*a));
      pending.emplace_back(a.get(), to->args.back().get());
    }
  }
  return root;
}

}  // namespace platform::language
