#include "platform/compiler/pass6_derivative_rules.h"

#include <cmath>
#include <numbers>
#include <set>
#include <string>

#include "platform/compiler/language_functions.h"

namespace platform::compiler {
namespace {

using language::BinaryOp;
using language::Expr;
using language::ExprKind;
using language::ExprPtr;
namespace dx = dexpr;

// Functions that are constant between jumps, or count: derivative zero.
const std::set<std::string>& flat_functions() {
  static const std::set<std::string> names = {"INT",  "FLOOR", "CEIL",  "ROUND",
                                              "SIGN", "N",     "NMISS", "MISSING"};
  return names;
}

bool arithmetic(BinaryOp op) {
  return op == BinaryOp::Add || op == BinaryOp::Subtract || op == BinaryOp::Multiply ||
         op == BinaryOp::Divide || op == BinaryOp::Power || op == BinaryOp::Min ||
         op == BinaryOp::Max;
}

class Rules {
 public:
  explicit Rules(Leaves& leaves) : leaves_(leaves) {}

  ExprPtr d(const Expr& e, const Expr* value);

 private:
  ExprPtr binary(const Expr& e, const Expr* value);
  ExprPtr call(const Expr& e, const Expr* value);
  ExprPtr two_arguments(const Expr& e, const Expr* value);
  ExprPtr elementary(const Expr& e, const Expr* value);
  ExprPtr power(const Expr& e, const Expr* value);
  ExprPtr normal(const Expr& e, const Expr* value, bool density);
  ExprPtr distribution(const Expr& e, const Expr* value);
  // e's own value: the given expression, or e again.
  static ExprPtr own(const Expr& e, const Expr* value) { return dx::clone(value ? *value : e); }
  static ExprPtr c(const Expr& e) { return dx::clone(e); }
  static ExprPtr num(double v) { return dx::number(v); }
  static ExprPtr fn(const char* key, ExprPtr a) { return dx::call(key, std::move(a)); }
  static ExprPtr call2(const char* key, ExprPtr a, ExprPtr b) {
    language::ExprList args;
    args.push_back(std::move(a));
    args.push_back(std::move(b));
    return dx::call(key, std::move(args));
  }
  static ExprPtr log_times(ExprPtr v, ExprPtr a) { return call2("LOG:TIMES", std::move(v), std::move(a)); }
  // k a^(k-1) a' for an exponent k that does not vary.
  static ExprPtr power_slope(const Expr& a, const Expr& k, ExprPtr da) {
    double v = 0;
    if (dx::number_of(k, &v))
      return dx::mul(dx::mul(c(k), dx::pow(c(a), dx::sub(c(k), num(1)))), std::move(da));
    return dx::mul(call2("POWER:SLOPE", c(a), c(k)), std::move(da));
  }

  Leaves& leaves_;
};

ExprPtr Rules::d(const Expr& e, const Expr* value) {
  switch (e.kind) {
    case ExprKind::Variable:
      return leaves_.of_variable(e);
    case ExprKind::ArrayRef:
      return leaves_.of_element(e);
    case ExprKind::Unary:
      if (e.unary_op == language::UnaryOp::Not) return num(0);
      if (e.unary_op == language::UnaryOp::Minus) return dx::neg(d(*e.args[0], nullptr));
      return d(*e.args[0], value);
    case ExprKind::Binary:
      return binary(e, value);
    case ExprKind::Call:
      return call(e, value);
    default:
      return num(0);
  }
}

ExprPtr Rules::binary(const Expr& e, const Expr* value) {
  if (!arithmetic(e.binary_op)) return num(0);
  const Expr& a = *e.args[0];
  const Expr& b = *e.args[1];
  if (e.binary_op == BinaryOp::Power) return power(e, value);
  ExprPtr da = d(a, nullptr), db = d(b, nullptr);
  switch (e.binary_op) {
    case BinaryOp::Add:
      return dx::add(std::move(da), std::move(db));
    case BinaryOp::Subtract:
      return dx::sub(std::move(da), std::move(db));
    case BinaryOp::Multiply: {
      // An operand is copied only where the other one's derivative is not zero.
      ExprPtr left = dx::is_zero(*da) ? std::move(da) : dx::mul(std::move(da), c(b));
      ExprPtr right = dx::is_zero(*db) ? std::move(db) : dx::mul(c(a), std::move(db));
      return dx::add(std::move(left), std::move(right));
    }
    case BinaryOp::Divide:
      if (dx::is_zero(*db)) return dx::div(std::move(da), c(b));
      // (a' - (a/b) b') / b, with a/b the value when it is at hand.
      return dx::div(dx::sub(std::move(da), dx::mul(own(e, value), std::move(db))), c(b));
    default: {
      // A selection inside an expression: the chosen operand's derivative
      // as a sum weighted by the comparison (selections that vary are
      // normally given statements of their own).
      if (dx::is_zero(*da) && dx::is_zero(*db)) return num(0);
      const BinaryOp first = e.binary_op == BinaryOp::Min ? BinaryOp::Le : BinaryOp::Ge;
      const BinaryOp second = e.binary_op == BinaryOp::Min ? BinaryOp::Gt : BinaryOp::Lt;
      return dx::add(dx::mul(dx::binary(first, c(a), c(b)), std::move(da)),
                     dx::mul(dx::binary(second, c(a), c(b)), std::move(db)));
    }
  }
}

ExprPtr Rules::power(const Expr& e, const Expr* value) {
  const Expr& a = *e.args[0];
  const Expr& b = *e.args[1];
  ExprPtr da = d(a, nullptr), db = d(b, nullptr);
  const bool fixed_exponent = dx::is_zero(*db);
  if (dx::is_zero(*da) && fixed_exponent) return num(0);
  if (fixed_exponent) {  // b a^(b-1) a'
    double k = 0;
    if (dx::number_of(b, &k) && k == 2) return dx::mul(dx::mul(num(2), c(a)), std::move(da));
    return power_slope(a, b, std::move(da));
  }
  // a^b log(a) b' + b a^(b-1) a', the first term zero at a = 0 (see
  // LOG:TIMES) and the second without a division by a.
  ExprPtr by_exponent = dx::mul(log_times(own(e, value), c(a)), std::move(db));
  if (dx::is_zero(*da)) return by_exponent;
  return dx::add(std::move(by_exponent),
                 dx::mul(dx::mul(c(b), dx::pow(c(a), dx::sub(c(b), num(1)))), std::move(da)));
}

// PDF('NORMAL', x, mu, sigma) and CDF('NORMAL', x, mu, sigma): with
// z = (x - mu)/sigma, dz = (dx - dmu)/sigma - z dsigma/sigma;
// d pdf = pdf (-z dz - dsigma/sigma), d cdf = phi(z) dz.
ExprPtr Rules::normal(const Expr& e, const Expr* value, bool density) {
  const std::size_t n = e.args.size();
  const Expr& x = *e.args[0];
  ExprPtr dxv = d(x, nullptr);
  ExprPtr dmu = n > 1 ? d(*e.args[1], nullptr) : num(0);
  ExprPtr ds = n > 2 ? d(*e.args[2], nullptr) : num(0);
  if (dx::is_zero(*dxv) && dx::is_zero(*dmu) && dx::is_zero(*ds)) return num(0);
  auto sigma = [&] { return n > 2 ? c(*e.args[2]) : num(1); };
  auto z = [&] { return dx::div(n > 1 ? dx::sub(c(x), c(*e.args[1])) : c(x), sigma()); };
  ExprPtr dz = dx::sub(dx::div(dx::sub(std::move(dxv), std::move(dmu)), sigma()),
                       dx::div(dx::mul(z(), dx::clone(*ds)), sigma()));
  if (!density) return dx::mul(fn("PDF:NORMAL", z()), std::move(dz));
  return dx::mul(own(e, value),
                 dx::sub(dx::neg(dx::mul(z(), std::move(dz))), dx::div(std::move(ds), sigma())));
}

// The t, F and beta distribution functions and their quantiles: the
// derivative with respect to the value (or the probability) through the
// density; the degrees of freedom and shapes must not vary.
ExprPtr Rules::distribution(const Expr& e, const Expr* value) {
  for (std::size_t k = 1; k < e.args.size(); ++k)
    if (!dx::is_zero(*d(*e.args[k], nullptr))) leaves_.unsupported(e, static_cast<int>(k) + 1);
  ExprPtr du = d(*e.args[0], nullptr);
  if (dx::is_zero(*du)) return num(0);
  const bool quantile = e.key == "TINV" || e.key == "FINV" || e.key == "BETAINV";
  // The density at x (the value for a quantile, the argument otherwise).
  auto at = [&] { return quantile ? own(e, value) : c(*e.args[0]); };
  auto arg = [&](std::size_t k) { return c(*e.args[k]); };
  ExprPtr density;
  if (e.key == "PROBT" || e.key == "TINV") {
    // (1 + x^2/df)^(-(df+1)/2) / (sqrt(df) B(1/2, df/2))
    language::ExprList beta_args;
    beta_args.push_back(num(0.5));
    beta_args.push_back(dx::div(arg(1), num(2)));
    density = dx::div(dx::pow(dx::add(num(1), dx::div(dx::sqr(at()), arg(1))),
                              dx::neg(dx::div(dx::add(arg(1), num(1)), num(2)))),
                      dx::mul(fn("SQRT", arg(1)), dx::call("BETA", std::move(beta_args))));
  } else if (e.key == "PROBF" || e.key == "FINV") {
    // (d1/d2)^(d1/2) x^(d1/2-1) (1 + d1 x/d2)^(-(d1+d2)/2) / B(d1/2, d2/2)
    language::ExprList beta_args;
    beta_args.push_back(dx::div(arg(1), num(2)));
    beta_args.push_back(dx::div(arg(2), num(2)));
    density = dx::div(dx::mul(dx::mul(dx::pow(dx::div(arg(1), arg(2)), dx::div(arg(1), num(2))),
                                      dx::pow(at(), dx::sub(dx::div(arg(1), num(2)), num(1)))),
                              dx::pow(dx::add(num(1), dx::div(dx::mul(arg(1), at()), arg(2))),
                                      dx::neg(dx::div(dx::add(arg(1), arg(2)), num(2))))),
                      dx::call("BETA", std::move(beta_args)));
  } else {
    // x^(a-1) (1-x)^(b-1) / B(a, b)
    language::ExprList beta_args;
    beta_args.push_back(arg(1));
    beta_args.push_back(arg(2));
    density = dx::div(dx::mul(dx::pow(at(), dx::sub(arg(1), num(1))),
                              dx::pow(dx::sub(num(1), at()), dx::sub(arg(2), num(1)))),
                      dx::call("BETA", std::move(beta_args)));
  }
  return quantile ? dx::div(std::move(du), std::move(density))
                  : dx::mul(std::move(density), std::move(du));
}

ExprPtr Rules::call(const Expr& e, const Expr* value) {
  const std::string& k = e.key;
  if (find_language_function(k) || flat_functions().count(k)) return num(0);
  if (k == "PDF:NORMAL" || k == "CDF:NORMAL") return normal(e, value, k == "PDF:NORMAL");
  if (k == "PROBT" || k == "TINV" || k == "PROBF" || k == "FINV" || k == "PROBBETA" ||
      k == "BETAINV")
    return distribution(e, value);
  if (k == "SUM" || k == "MEAN") {
    ExprPtr total = num(0);
    for (const auto& a : e.args) total = dx::add(std::move(total), d(*a, nullptr));
    if (k == "SUM" || dx::is_zero(*total)) return total;
    language::ExprList counted;
    for (const auto& a : e.args) counted.push_back(c(*a));
    return dx::div(std::move(total), dx::call("N", std::move(counted)));
  }
  if (k == "MIN" || k == "MAX") {
    // Inside an expression: the operand equal to the result, by weights.
    ExprPtr total = num(0);
    for (const auto& a : e.args) {
      ExprPtr da = d(*a, nullptr);
      if (dx::is_zero(*da)) continue;
      total = dx::add(std::move(total),
                      dx::mul(dx::binary(BinaryOp::Eq, own(e, value), c(*a)), std::move(da)));
    }
    return total;
  }
  if (k == "MOD" || k == "ATAN2" || k == "BETA" || k == "LOG:TIMES" || k == "POWER:SLOPE")
    return two_arguments(e, value);
  if (e.args.size() != 1) {
    for (std::size_t i = 0; i < e.args.size(); ++i)
      if (!dx::is_zero(*d(*e.args[i], nullptr))) leaves_.unsupported(e, static_cast<int>(i) + 1);
    return num(0);
  }
  return elementary(e, value);
}

// The functions of two arguments a and b that may both vary.
ExprPtr Rules::two_arguments(const Expr& e, const Expr* value) {
  const std::string& k = e.key;
  const Expr& a = *e.args[0];
  const Expr& b = *e.args[1];
  ExprPtr da = d(a, nullptr), db = d(b, nullptr);
  if (dx::is_zero(*da) && dx::is_zero(*db)) return num(0);
  if (k == "MOD")
    return dx::sub(std::move(da), dx::mul(fn("INT", dx::div(c(a), c(b))), std::move(db)));
  if (k == "LOG:TIMES") {  // a' log(b) + a b' / b
    ExprPtr r = dx::is_zero(*da) ? std::move(da) : log_times(std::move(da), c(b));
    if (dx::is_zero(*db)) return r;
    return dx::add(std::move(r), dx::div(dx::mul(c(a), std::move(db)), c(b)));
  }
  if (k == "POWER:SLOPE") {  // b (b-1) a^(b-2) a' + (a^(b-1) + b a^(b-1) log(a)) b'
    ExprPtr r = dx::is_zero(*da) ? std::move(da)
                                 : dx::mul(c(b), power_slope(a, *dx::sub(c(b), num(1)), std::move(da)));
    if (dx::is_zero(*db)) return r;
    auto lower = [&] { return dx::pow(c(a), dx::sub(c(b), num(1))); };
    return dx::add(std::move(r), dx::mul(dx::add(lower(), dx::mul(c(b), log_times(lower(), c(a)))),
                                         std::move(db)));
  }
  if (k == "ATAN2")  // (b a' - a b') / (a^2 + b^2), y = a, x = b
    return dx::div(dx::sub(dx::mul(c(b), std::move(da)), dx::mul(c(a), std::move(db))),
                   dx::add(dx::sqr(c(a)), dx::sqr(c(b))));
  // B(a, b) ((psi(a) - psi(a+b)) a' + (psi(b) - psi(a+b)) b')
  auto psi_sum = [&] { return fn("DIGAMMA", dx::add(c(a), c(b))); };
  return dx::mul(own(e, value),
                 dx::add(dx::mul(dx::sub(fn("DIGAMMA", c(a)), psi_sum()), std::move(da)),
                         dx::mul(dx::sub(fn("DIGAMMA", c(b)), psi_sum()), std::move(db))));
}

// The functions of one argument u: f'(u) u'.
ExprPtr Rules::elementary(const Expr& e, const Expr* value) {
  const std::string& k = e.key;
  const Expr& u = *e.args[0];
  ExprPtr du = d(u, nullptr);
  if (dx::is_zero(*du)) return num(0);
  auto v = [&] { return own(e, value); };
  auto times = [&](ExprPtr f) { return dx::mul(std::move(f), std::move(du)); };
  auto over = [&](ExprPtr f) { return dx::div(std::move(du), std::move(f)); };
  if (k == "ABS") return times(fn("SIGN", c(u)));
  if (k == "SQRT") return over(dx::mul(num(2), v()));
  if (k == "EXP") return times(v());
  if (k == "LOG") return over(c(u));
  if (k == "LOG10") return over(dx::mul(c(u), num(std::numbers::ln10)));
  if (k == "LOG2") return over(dx::mul(c(u), num(std::numbers::ln2)));
  if (k == "SIN") return times(fn("COS", c(u)));
  if (k == "COS") return dx::neg(times(fn("SIN", c(u))));
  if (k == "TAN") return times(dx::add(num(1), dx::sqr(v())));
  if (k == "ARSIN" || k == "ASIN") return over(fn("SQRT", dx::sub(num(1), dx::sqr(c(u)))));
  if (k == "ARCOS" || k == "ACOS") return dx::neg(over(fn("SQRT", dx::sub(num(1), dx::sqr(c(u))))));
  if (k == "ATAN") return over(dx::add(num(1), dx::sqr(c(u))));
  if (k == "SINH") return times(fn("COSH", c(u)));
  if (k == "COSH") return times(fn("SINH", c(u)));
  if (k == "TANH") return times(dx::sub(num(1), dx::sqr(v())));
  if (k == "ARSINH" || k == "ASINH") return over(fn("SQRT", dx::add(dx::sqr(c(u)), num(1))));
  if (k == "ARCOSH" || k == "ACOSH")
    return over(fn("SQRT", dx::mul(dx::sub(c(u), num(1)), dx::add(c(u), num(1)))));
  if (k == "ARTANH" || k == "ATANH") return over(dx::sub(num(1), dx::sqr(c(u))));
  if (k == "ERF" || k == "ERFC") {
    ExprPtr r =
        times(dx::mul(num(2 / std::sqrt(std::numbers::pi)), fn("EXP", dx::neg(dx::sqr(c(u))))));
    return k == "ERF" ? std::move(r) : dx::neg(std::move(r));
  }
  if (k == "GAMMA") return times(dx::mul(v(), fn("DIGAMMA", c(u))));
  if (k == "LGAMMA") return times(fn("DIGAMMA", c(u)));
  if (k == "DIGAMMA") return times(fn("TRIGAMMA", c(u)));
  if (k == "TRIGAMMA") return times(fn("@TETRAGAMMA", c(u)));
  if (k == "@TETRAGAMMA") return times(fn("@PENTAGAMMA", c(u)));
  if (k == "PROBNORM") return times(fn("PDF:NORMAL", c(u)));
  if (k == "PROBIT") return over(fn("PDF:NORMAL", v()));
  leaves_.unsupported(e, 1);
  return num(0);
}

}  // namespace

ExprPtr differentiate(const Expr& e, Leaves& leaves, const Expr* value) {
  return Rules(leaves).d(e, value);
}

void differentiable_operands(const Expr& e, const std::function<void(const Expr&)>& visit) {
  switch (e.kind) {
    case ExprKind::Unary:
      if (e.unary_op != language::UnaryOp::Not) visit(*e.args[0]);
      return;
    case ExprKind::Binary:
      if (arithmetic(e.binary_op))
        for (const auto& a : e.args) visit(*a);
      return;
    case ExprKind::Call:
      if (find_language_function(e.key) || flat_functions().count(e.key)) return;
      for (const auto& a : e.args) visit(*a);
      return;
    default:
      return;
  }
}

bool is_selection(const Expr& e) {
  if (e.kind == ExprKind::Binary)
    return e.binary_op == BinaryOp::Min || e.binary_op == BinaryOp::Max;
  return e.kind == ExprKind::Call && (e.key == "MIN" || e.key == "MAX");
}

std::vector<Choice> choices(const Expr& selection, const Expr& result) {
  std::vector<Choice> out;
  if (selection.kind == ExprKind::Binary) {
    // The operators take the left operand on a tie, as the interpreter does.
    const BinaryOp op = selection.binary_op == BinaryOp::Min ? BinaryOp::Le : BinaryOp::Ge;
    out.push_back({dx::binary(op, dx::clone(*selection.args[0]), dx::clone(*selection.args[1])),
                   selection.args[0].get()});
    out.push_back({nullptr, selection.args[1].get()});
    return out;
  }
  for (std::size_t i = 0; i < selection.args.size(); ++i) {
    const bool last = i + 1 == selection.args.size();
    out.push_back({last
                       ? nullptr
                       : dx::binary(BinaryOp::Eq, dx::clone(result), dx::clone(*selection.args[i])),
                   selection.args[i].get()});
  }
  return out;
}

bool reuses_own_value(const Expr& e) {
  if (e.kind != ExprKind::Call) return false;
  static const std::set<std::string> names = {"EXP",   "SQRT",   "TAN",        "TANH",
                                              "GAMMA", "PROBIT", "PDF:NORMAL", "BETA"};
  return names.count(e.key) > 0;
}

}  // namespace platform::compiler
