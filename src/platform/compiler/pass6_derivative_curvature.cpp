// Which second derivatives can be non-zero: for every node, the pairs of
// variables of differentiation in which its value is not linear. A value
// that is a sum of terms each linear in the variables (a linear predictor
// built up in a loop, through an array, in a LINK routine) has none, and
// neither does what only adds, subtracts, selects or scales it by values
// that do not depend on the variables; exp(eta) has every pair of eta's
// variables. Second derivatives outside these pairs are zero on every path
// and get neither symbols nor statements, so a program linear in most of
// its steps pays for second derivatives only where it is not.
//
// The pairs of an expression, by the rules of differentiation
// (pass6_derivative_rules.cpp): those of its operands, and
// - for a product, every pair of a variable of one factor with one of the
//   other;
// - for a quotient by a value that varies, a power that varies, and a
//   function of values that vary, every pair of the variables they vary
//   with;
// - none of its own for a sum, a difference, a negation, MIN and MAX (the
//   chosen operand's), SUM, MEAN, and a quotient by a value that does not
//   vary; comparisons, logical operators and the flat functions have
//   derivative zero.
// A node's pairs are the union over every assignment to it, on every path,
// until nothing changes.
#include "platform/compiler/pass6_derivatives.h"

#include <algorithm>
#include <cstdint>
#include <functional>

#include "platform/compiler/pass6_derivative_rules.h"

namespace platform::compiler {
namespace {

using language::BinaryOp;
using language::Expr;
using language::ExprKind;

int pair_index(int lo, int hi) { return hi * (hi + 1) / 2 + lo; }

// A set of small integers as words of bits.
struct Bits {
  std::vector<std::uint64_t> words;

  explicit Bits(std::size_t n = 0) : words((n + 63) / 64, 0) {}
  bool has(std::size_t k) const { return (words[k / 64] >> (k % 64)) & 1; }
  void set(std::size_t k) { words[k / 64] |= std::uint64_t{1} << (k % 64); }
  bool empty() const {
    return std::all_of(words.begin(), words.end(), [](std::uint64_t w) { return w == 0; });
  }
  // Adds o's members; true when that added any.
  bool add(const Bits& o) {
    bool grew = false;
    for (std::size_t k = 0; k < words.size(); ++k) {
      grew = grew || (o.words[k] & ~words[k]) != 0;
      words[k] |= o.words[k];
    }
    return grew;
  }
  std::vector<int> members() const {
    std::vector<int> out;
    for (std::size_t k = 0; k < words.size() * 64; ++k)
      if (has(k)) out.push_back(static_cast<int>(k));
    return out;
  }
};

// The variables of differentiation a value can depend on, and the pairs in
// which it can be non-linear.
struct Shape {
  Bits bits, pairs;

  explicit Shape(std::size_t nbits) : bits(nbits), pairs(nbits * (nbits + 1) / 2) {}

  void add(const Shape& o) {
    bits.add(o.bits);
    pairs.add(o.pairs);
  }
  // Every pair of a variable of `a` with one of `b`.
  void cross(const Bits& a, const Bits& b) {
    const std::vector<int> of_b = b.members();
    for (int i : a.members())
      for (int j : of_b) pairs.set(static_cast<std::size_t>(pair_index(std::min(i, j), std::max(i, j))));
  }
};

bool linear_call(const std::string& key) { return key == "SUM" || key == "MEAN" || key == "MIN" || key == "MAX"; }

}  // namespace

void Derivatives::curvature(const std::vector<Site>& all) {
  const std::size_t nbits = wrt_.size();
  curved_.assign(parent_.size(), std::vector<bool>(nbits * (nbits + 1) / 2, false));
  // Only second derivatives asked for need the analysis.
  if (std::none_of(requests_.begin(), requests_.end(), [&](const Request& r) { return first_of_.count(r.objective); }))
    return;
  std::vector<Shape> nodes(parent_.size(), Shape(nbits));
  for (std::size_t n = 0; n < active_.size(); ++n)
    for (std::size_t b = 0; b < nbits; ++b)
      if (active_[n][b]) nodes[n].bits.set(b);
  std::function<Shape(const Expr&)> shape = [&](const Expr& e) {
    const Symbol* s = e.kind == ExprKind::Variable ? c_.symbols.find(e.name) : nullptr;
    if (s && bit_of_.count(s->pub.id)) {  // a variable of differentiation: derivatives 0 and 1
      Shape out(nbits);
      out.bits.set(static_cast<std::size_t>(bit_of_.at(s->pub.id)));
      return out;
    }
    if (s || e.kind == ExprKind::ArrayRef) {
      const int n = s ? node_of(*s) : find(array_base_ + c_.array_index.at(e.key));
      return n < static_cast<int>(nodes.size()) ? nodes[static_cast<std::size_t>(n)] : Shape(nbits);
    }
    Shape out(nbits);
    std::vector<Shape> operands;
    differentiable_operands(e, [&](const Expr& a) { operands.push_back(shape(a)); });
    for (const Shape& o : operands) out.add(o);
    if (out.bits.empty()) return out;
    const bool binary = e.kind == ExprKind::Binary;
    const BinaryOp op = binary ? e.binary_op : BinaryOp::Add;
    if (e.kind == ExprKind::Unary || (binary && (op == BinaryOp::Add || op == BinaryOp::Subtract ||
                                                 op == BinaryOp::Min || op == BinaryOp::Max)))
      return out;
    if (e.kind == ExprKind::Call && linear_call(e.key)) return out;
    if (binary && op == BinaryOp::Multiply) {
      out.cross(operands[0].bits, operands[1].bits);
      return out;
    }
    if (binary && op == BinaryOp::Divide && operands[1].bits.empty()) return out;
    out.cross(out.bits, out.bits);
    return out;
  };
  for (bool changed = true; changed;) {
    changed = false;
    for (const Site& site : all)
      if (!site.target || !bit_of_.count(site.target->pub.id))
        changed = nodes[static_cast<std::size_t>(site.node)].pairs.add(shape(*site.stmt->value).pairs) || changed;
  }
  for (std::size_t n = 0; n < nodes.size(); ++n)
    for (std::size_t k = 0; k < curved_[n].size(); ++k) curved_[n][k] = nodes[n].pairs.has(k);
}

bool Derivatives::curved(int node, int p, int q) const {
  const auto n = static_cast<std::size_t>(node);
  return n < curved_.size() && curved_[n][static_cast<std::size_t>(pair_index(std::min(p, q), std::max(p, q)))];
}

}  // namespace platform::compiler
