// Code generation of expressions: numeric values into cells, character
// values into slots, and conditions as jumps (AND and OR short-circuit).
// Constant subexpressions are folded when they give a finite value.
#include <algorithm>
#include <cmath>

#include "host/missing.h"
#include "platform/compiler/pass7_codegen.h"
#include "platform/compiler/functions.h"
#include "platform/compiler/language_functions.h"
#include "platform/compiler/values.h"

namespace platform::compiler {
namespace {

using language::BinaryOp;
using language::Expr;
using language::ExprKind;

bool comparison(BinaryOp op) {
  return op == BinaryOp::Eq || op == BinaryOp::Ne || op == BinaryOp::Lt || op == BinaryOp::Le ||
         op == BinaryOp::Gt || op == BinaryOp::Ge;
}

int compare_code(BinaryOp op) {
  switch (op) {
    case BinaryOp::Eq: return 0;
    case BinaryOp::Ne: return 1;
    case BinaryOp::Lt: return 2;
    case BinaryOp::Le: return 3;
    case BinaryOp::Gt: return 4;
    default: return 5;
  }
}

BinaryOp inverse(BinaryOp op) {
  switch (op) {
    case BinaryOp::Eq: return BinaryOp::Ne;
    case BinaryOp::Ne: return BinaryOp::Eq;
    case BinaryOp::Lt: return BinaryOp::Ge;
    case BinaryOp::Le: return BinaryOp::Gt;
    case BinaryOp::Gt: return BinaryOp::Le;
    default: return BinaryOp::Lt;
  }
}

Op jump_unless(BinaryOp op) {
  static constexpr Op ops[] = {Op::JfEq, Op::JfNe, Op::JfLt, Op::JfLe, Op::JfGt, Op::JfGe};
  return ops[compare_code(op)];
}

// DIM, LBOUND or HBOUND of dimension `dim` (from 0) of the array.
double array_bound(const ArrayInfo& a, LanguageFn fn, std::size_t dim) {
  const long lo = a.lower[dim], extent = a.extent[dim];
  return static_cast<double>(fn == LanguageFn::Dim ? extent : fn == LanguageFn::Lbound ? lo : lo + extent - 1);
}

const char* operator_text(BinaryOp op) {
  switch (op) {
    case BinaryOp::Power: return "**";
    case BinaryOp::Multiply: return "*";
    case BinaryOp::Divide: return "/";
    case BinaryOp::Add: return "+";
    case BinaryOp::Subtract: return "-";
    default: return "";
  }
}

}  // namespace

bool CodeGen::constant(const Expr& e, double* value) {
  if (e.args.empty()) return fold(e, value);
  auto it = constants_.find(&e);
  if (it == constants_.end()) {
    double v = 0;
    it = constants_.emplace(&e, fold(e, &v) ? std::optional<double>(v) : std::nullopt).first;
  }
  if (!it->second) return false;
  *value = *it->second;
  return true;
}

bool CodeGen::fold(const Expr& e, double* value) {
  switch (e.kind) {
    case ExprKind::Number:
      *value = e.number;
      return true;
    case ExprKind::Missing:
      *value = missing_literal_value(e.missing);
      return true;
    case ExprKind::Unary: {
      double x = 0;
      if (!constant(*e.args[0], &x)) return false;
      if (e.unary_op == language::UnaryOp::Plus) return *value = x, true;
      if (e.unary_op == language::UnaryOp::Not) return *value = truth(x) ? 0 : 1, true;
      if (is_missing(x)) return false;
      return *value = -x, true;
    }
    case ExprKind::Binary: {
      double x = 0, y = 0;
      const BinaryOp op = e.binary_op;
      if (op == BinaryOp::Concat || !constant(*e.args[0], &x) || !constant(*e.args[1], &y))
        return false;
      double r = 0;
      if (!fold_binary(binary_op_code(op), x, y, &r)) return false;
      return *value = r, true;
    }
    case ExprKind::Call: {
      if (const LanguageFunction* f = find_language_function(e.key)) {
        if (!f->array_argument) return false;
        const ArrayInfo& a = array(e.args[0]->key);
        double dim = 1;
        if (e.args.size() > 1 && !constant(*e.args[1], &dim)) return false;
        // Compared as a double first: a missing or huge dimension has no whole number.
        if (!(dim >= 1 && dim < static_cast<double>(a.lower.size()) + 1)) {
          const long shown = std::isnan(dim) ? 0 : static_cast<long>(std::clamp(dim, -1e9, 1e9));
          c_.error(21, a.name.c_str(), shown, e.pos.line, e.pos.column);
          return false;
        }
        *value = array_bound(a, f->id, static_cast<std::size_t>(dim) - 1);
        return true;
      }
      const int id = find_function(e.key);
      if (id < 0 || function_def(id).takes_missing || e.args.size() > 8) return false;
      double args[8];
      for (std::size_t i = 0; i < e.args.size(); ++i)
        if (!constant(*e.args[i], &args[i]) || is_missing(args[i])) return false;
      const double r = call_function(id, args, static_cast<int>(e.args.size()));
      if (!std::isfinite(r)) return false;
      return *value = r, true;
    }
    default:
      return false;
  }
}

int CodeGen::num(const Expr& e, int dst) {
  double v = 0;
  if (type(e).character) {
    if (e.kind == ExprKind::Variable) {
      Symbol& s = *c_.symbols.find(e.name);
      if (s.pub.dsvarno > 0) c_.refuse_character(s);
    }
    const int slot = chr(e);
    const int d = dst >= 0 ? dst : temp();
    emit(Op::C2N, d, slot, 0, 0, site(e, SiteWhat::Conversion, ""));
    c2n_places_.emplace_back(e.pos.line, e.pos.column);
    return d;
  }
  if (constant(e, &v)) {
    const int cell = literal_cell(v);
    if (dst < 0) return cell;
    emit(Op::Mov, dst, cell);
    return dst;
  }
  switch (e.kind) {
    case ExprKind::Variable: {
      const int cell = symbol_cell(*c_.symbols.find(e.name));
      if (dst < 0 || dst == cell) return cell;
      emit(Op::Mov, dst, cell);
      return dst;
    }
    case ExprKind::ArrayRef: {
      const ArrayInfo& a = array(e.key);
      const int idx = element_index(e, a);
      const int d = dst >= 0 ? dst : temp();
      emit(Op::LoadX, d, idx, array_id(e.key));
      return d;
    }
    case ExprKind::Unary: {
      if (e.unary_op == language::UnaryOp::Plus) return num(*e.args[0], dst);
      const int x = num(*e.args[0]);
      const int d = dst >= 0 ? dst : temp();
      if (e.unary_op == language::UnaryOp::Not) emit(Op::Not, d, x);
      else emit(Op::Neg, d, x, 0, 0, site(e, SiteWhat::Operator, "-"));
      return d;
    }
    case ExprKind::Binary:
      return num_binary(e, dst);
    case ExprKind::Call:
      return num_call(e, dst);
    case ExprKind::In:
      return condition_value(e, dst);
    default:
      return literal_cell(missing_value());
  }
}

// A product with a negated factor, -(b*c), in one instruction.
bool negated_factor(const Expr& e) {
  return e.kind == ExprKind::Unary && e.unary_op == language::UnaryOp::Minus;
}

bool is_product(const Expr& e) {
  return e.kind == ExprKind::Binary && e.binary_op == BinaryOp::Multiply;
}

int CodeGen::num_binary(const Expr& e, int dst) {
  const BinaryOp op = e.binary_op;
  const Expr& left = *e.args[0];
  const Expr& right = *e.args[1];
  if (comparison(op) && type(left).character && type(right).character) {
    const int l = chr(left), r = chr(right);
    const int d = dst >= 0 ? dst : temp();
    emit(Op::CCmp, d, l, r, compare_code(op));
    return d;
  }
  double v = 0;
  if (op == BinaryOp::Multiply && (negated_factor(left) || negated_factor(right)) &&
      !constant(left, &v) && !constant(right, &v)) {
    const bool l_neg = negated_factor(left);
    const int l = num(l_neg ? *left.args[0] : left);
    const int r = num(l_neg || !negated_factor(right) ? right : *right.args[0]);
    const int d = dst >= 0 ? dst : temp();
    emit(Op::NMul, d, l, r, 0, site(e, SiteWhat::Operator, "*"));
    return d;
  }
  if ((op == BinaryOp::Add || op == BinaryOp::Subtract) && (is_product(left) || is_product(right)) &&
      !constant(left, &v) && !constant(right, &v)) {
    // A sum with a product: the product's factors and the other term in one instruction.
    const bool right_product = is_product(right);
    const Expr& product = right_product ? right : left;
    const Expr& term = right_product ? left : right;
    const int t = num(term);
    const int b = num(*product.args[0]);
    const int c = num(*product.args[1]);
    const int d = dst >= 0 ? dst : temp();
    const Op fused = op == BinaryOp::Add ? Op::MulAdd : right_product ? Op::SubMul : Op::MulSub;
    emit(fused, d, b, c, t, site(e, SiteWhat::Operator, op == BinaryOp::Add ? "+" : "-"));
    return d;
  }
  const int l = num(left);
  if (op == BinaryOp::Power && constant(right, &v) && v == 2) {
    const int d = dst >= 0 ? dst : temp();
    emit(Op::Sqr, d, l, 0, 0, site(e, SiteWhat::Operator, "**"));
    return d;
  }
  const int r = num(right);
  const int d = dst >= 0 ? dst : temp();
  const char* text = operator_text(op);
  emit(binary_op_code(op), d, l, r, 0, *text ? site(e, SiteWhat::Operator, text) : -1);
  return d;
}

int CodeGen::num_call(const Expr& e, int dst) {
  if (find_language_function(e.key)) return language_call(e, dst);
  const int id = find_function(e.key);
  const FunctionDef& f = function_def(id);
  const int n = static_cast<int>(e.args.size());
  if (e.key == "MISSING" && type(*e.args[0]).character) {
    const int slot = chr(*e.args[0]);
    const int d = dst >= 0 ? dst : temp();
    emit(Op::CMissing, d, slot);
    return d;
  }
  const int where = site(e, SiteWhat::Function, e.key.substr(0, e.key.find(':')));
  double v = 0;
  if (n == 1 && f.one && is_product(*e.args[0]) && !constant(*e.args[0], &v)) {
    // f(b*c) and f(-b*c) in one instruction.
    const Expr& product = *e.args[0];
    const Expr& left = *product.args[0];
    const Expr& right = *product.args[1];
    const bool l_neg = negated_factor(left) && !constant(left, &v);
    const bool r_neg = !l_neg && negated_factor(right) && !constant(right, &v);
    const int b = num(l_neg ? *left.args[0] : left);
    const int c = num(r_neg ? *right.args[0] : right);
    const int d = dst >= 0 ? dst : temp();
    emit(l_neg || r_neg ? Op::CallNMul : Op::CallMul, d, b, c, id, where);
    return d;
  }
  if (n == 1 && f.one) {
    const int x = num(*e.args[0]);
    const int d = dst >= 0 ? dst : temp();
    emit(Op::Call1, d, x, 0, id, where);
    return d;
  }
  if (n == 2 && f.two) {
    const int x = num(*e.args[0]);
    const int y = num(*e.args[1]);
    const int d = dst >= 0 ? dst : temp();
    emit(Op::Call2, d, x, y, id, where);
    return d;
  }
  const int block = temp_block(n);
  for (int i = 0; i < n; ++i) num(*e.args[static_cast<std::size_t>(i)], block + i);
  const int d = dst >= 0 ? dst : temp();
  emit(Op::CallN, d, block, n, id, where);
  return d;
}

int CodeGen::language_call(const Expr& e, int dst) {
  const LanguageFunction& f = *find_language_function(e.key);
  if (f.id == LanguageFn::Length || f.id == LanguageFn::Index) {
    const int s = chr(*e.args[0]);
    const int t = f.id == LanguageFn::Index ? chr(*e.args[1]) : 0;
    const int d = dst >= 0 ? dst : temp();
    emit(f.id == LanguageFn::Index ? Op::CIndex : Op::CLength, d, s, t);
    return d;
  }
  // Character functions come here only as text (num converts them); what is
  // left is an array bound of a dimension the program computes: the bound of
  // the dimension its whole part names, missing for a value that names none.
  const ArrayInfo& a = array(e.args[0]->key);
  const int k = num(*e.args[1]);
  const int d = temp();
  const int done = label();
  emit(Op::Mov, d, literal_cell(missing_value()));
  for (std::size_t i = 0; i < a.lower.size(); ++i) {
    const int next = label();
    jump(Op::JfGe, next, k, literal_cell(static_cast<double>(i + 1)));
    jump(Op::JfLt, next, k, literal_cell(static_cast<double>(i + 2)));
    emit(Op::Mov, d, literal_cell(array_bound(a, f.id, i)));
    jump(Op::Jmp, done);
    place(next);
  }
  place(done);
  if (dst < 0) return d;
  emit(Op::Mov, dst, d);
  return dst;
}

int CodeGen::chr(const Expr& e) {
  switch (e.kind) {
    case ExprKind::String:
      return literal_slot(e.name.empty() ? " " : e.name);
    case ExprKind::Variable: {
      Symbol& s = *c_.symbols.find(e.name);
      if (s.pub.type == '$') return symbol_slot(s);
      return to_chr(symbol_cell(s), e);
    }
    case ExprKind::ArrayRef: {
      const ArrayInfo& a = array(e.key);
      if (!a.character) return to_chr(num(e), e);
      const int idx = element_index(e, a);
      const int t = temp_slot(a.length);
      emit(Op::CLoadX, t, idx, array_id(e.key));
      return t;
    }
    case ExprKind::Binary:
      if (e.binary_op == BinaryOp::Concat) {
        const int l = chr(*e.args[0]);
        const int r = chr(*e.args[1]);
        const int t = temp_slot(type(e).length);
        emit(Op::CCat, t, l, r);
        return t;
      }
      return to_chr(num(e), e);
    case ExprKind::Call:
      return chr_call(e);
    default:
      return to_chr(num(e), e);
  }
}

int CodeGen::chr_call(const Expr& e) {
  const LanguageFunction* f = find_language_function(e.key);
  if (!f || !f->character_result) return to_chr(num(e), e);
  const int s = chr(*e.args[0]);
  const int t = temp_slot(type(e).length);
  if (f->id == LanguageFn::Substr) {
    const int pos = num(*e.args[1]);
    const int len = e.args.size() > 2 ? num(*e.args[2]) : -1;
    emit(Op::CSubstr, t, s, pos, len, site(e, SiteWhat::Function, e.key.substr(0, e.key.find(':'))));
  } else {
    emit(Op::CFn, t, s, 0, static_cast<int>(f->id));
  }
  return t;
}

int CodeGen::to_chr(int cell, const Expr& where) {
  const int t = temp_slot(kNumberTextLength);
  emit(Op::N2C, t, cell, 0, 0, site(where, SiteWhat::Conversion, ""));
  n2c_places_.emplace_back(where.pos.line, where.pos.column);
  return t;
}

void CodeGen::branch(const Expr& e, int target, bool when) {
  double v = 0;
  if (!type(e).character && constant(e, &v)) {
    if (truth(v) == when) jump(Op::Jmp, target);
    return;
  }
  if (e.kind == ExprKind::Unary && e.unary_op == language::UnaryOp::Not)
    return branch(*e.args[0], target, !when);
  if (e.kind == ExprKind::Binary && (e.binary_op == BinaryOp::And || e.binary_op == BinaryOp::Or)) {
    // AND jumps on false at once, OR on true; the other case needs a skip label.
    const bool shortcut = (e.binary_op == BinaryOp::Or);
    if (when == shortcut) {
      branch(*e.args[0], target, when);
      branch(*e.args[1], target, when);
    } else {
      const int skip = label();
      branch(*e.args[0], skip, shortcut);
      branch(*e.args[1], target, when);
      place(skip);
    }
    return;
  }
  if (e.kind == ExprKind::Binary && comparison(e.binary_op) &&
      !(type(*e.args[0]).character && type(*e.args[1]).character)) {
    const int l = num(*e.args[0]);
    const int r = num(*e.args[1]);
    jump(jump_unless(when ? inverse(e.binary_op) : e.binary_op), target, l, r);
    return;
  }
  if (e.kind == ExprKind::In) {
    const bool member_jumps = when != e.negated;
    const bool character = type(*e.args[0]).character;
    const int x = character ? chr(*e.args[0]) : num(*e.args[0]);
    const int hit = member_jumps ? target : label();
    for (std::size_t i = 1; i < e.args.size(); ++i) {
      if (character) {
        const int t = temp();
        emit(Op::CCmp, t, x, chr(*e.args[i]), 0);
        jump(Op::Jt, hit, t);
      } else {
        jump(Op::JfNe, hit, x, num(*e.args[i]));
      }
    }
    if (!member_jumps) {
      jump(Op::Jmp, target);
      place(hit);
    }
    return;
  }
  jump(when ? Op::Jt : Op::Jf, target, num(e));
}

int CodeGen::condition_value(const Expr& e, int dst) {
  const int d = dst >= 0 ? dst : temp();
  const int done = label();
  emit(Op::Mov, d, literal_cell(0));
  branch(e, done, false);
  emit(Op::Mov, d, literal_cell(1));
  place(done);
  return d;
}

int CodeGen::element_index(const Expr& ref, const ArrayInfo& a) {
  const int id = array_id(a.key);
  const int idx = temp();
  const int where = site(ref, SiteWhat::Subscript, a.name);
  for (std::size_t k = 0; k < ref.args.size(); ++k)
    emit(Op::Index, idx, num(*ref.args[k]), id, static_cast<int>(k), where);
  return idx;
}

}  // namespace platform::compiler
