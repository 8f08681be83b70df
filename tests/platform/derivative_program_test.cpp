// Generated derivatives of whole programs: control flow (IF, SELECT, DO
// loops, GOTO and LINK), arrays, retained values across observations, the
// derivative record (sparsity, literals), ESTIMATE expressions with their
// inputs, user DER. variables, and the listings.
#include <gtest/gtest.h>

#include <cmath>

#include "derivative_fixture.h"
#include "platform/language/step_parser.h"

namespace derivative_test {
namespace {

using compiler_test::numeric;

class ProgramDerivatives : public DerivativeTest {
 protected:
  ProgramDerivatives() { data_.variables = {numeric("x", 1)}; }

  // The record's derivative of parameter `parm`, or null when it is zero.
  CMPSYM* first_of(const char* parm) {
    const int j = index_of(parm);
    for (int k = 0; k < first_.der.n; ++k)
      if (first_.wrtindex[k] == j) return first_.der.s[k];
    return nullptr;
  }

  // Resolves the program, binds the parameters to `parm`, and takes the
  // derivatives of the named expressions (cmpderx); the names of their inputs.
  std::vector<std::string> expression_derivatives(std::initializer_list<const char*> expressions, double* parm,
                                                  CMPDER* record) {
    cmprslv(&data_, &cmp_);
    parms_ = {};
    cmplstb(&parms_, kCmpKindParms, -1, &cmp_);
    cmplsts(&parms_, parm, &cmp_);
    cmpdfla(0, 0, 0, 1, &cmp_);
    CMPLIST exprs{};
    for (const char* e : expressions) cmplst(&exprs, sym(e), &cmp_);
    int count = 0;
    CMPSYM** inputs = cmpderx(record, &exprs, &parms_, 20, &count, 0, 1, 1, &cmp_);
    std::vector<std::string> names;
    for (int i = 0; inputs && i < count; ++i) names.push_back(inputs[i]->name);
    return names;
  }

  std::vector<double> curvature_of_l(const char* program, bool products, const std::vector<double>& b, double x);
};

TEST_F(ProgramDerivatives, FollowTheBranchesOfIfSelectGotoAndLink) {
  const char* programs[] = {
      "parms a = 1 b = 1;\n"
      "if x > 0.5 then m = a*exp(b*x); else m = a + b*b*x;\n"
      "model y = m*2 + a;\n",
      "parms a = 1 b = 1;\n"
      "select;\n"
      "  when (x < 0.3) m = a/b;\n"
      "  when (x < 0.6) m = a*log(b + x);\n"
      "  otherwise m = sqrt(a*b) - b**3;\n"
      "end;\n"
      "model y = m*x;\n",
      "parms a = 1 b = 1;\n"
      "if x > 0.5 then goto big;\n"
      "m = a*x;\n"
      "goto done;\n"
      "big: m = exp(a*b*x);\n"
      "done: model y = m + b;\n",
      "parms a = 1 b = 1;\n"
      "link square;\n"
      "model y = r*b;\n"
      "return;\n"
      "square: r = (a + b*x)**2;\n"
      "return;\n",
  };
  for (const char* program : programs) {
    reset();
    ASSERT_TRUE(compile_model(program)) << program << log_text();
    for (double x : {0.2, 0.45, 0.8})
      expect_matches_differences({0.7, 1.3}, {x}, std::string(program) + " x=" + std::to_string(x));
  }
}

TEST_F(ProgramDerivatives, FollowLoopsAndArrays) {
  const char* programs[] = {
      // A sum built in a loop (the target reads itself).
      "parms a = 1 b = 1;\n"
      "s = 0;\n"
      "do i = 1 to 4; s = s + a**i * x**i / i; end;\n"
      "model y = s*b;\n",
      // Array elements assigned by subscript and read by name.
      "parms a = 1 b = 1;\n"
      "array c{3} c1-c3;\n"
      "do i = 1 to 3; c{i} = a*i + b*x; end;\n"
      "model y = c1*c{2} + c{3}**2;\n",
      // A recurrence through a temporary array, and a DO WHILE.
      "parms a = 1 b = 1;\n"
      "array t{4} _temporary_;\n"
      "t{1} = a;\n"
      "do k = 2 to 4; t{k} = t{k-1}*b + x; end;\n"
      "n = 0; p = 1;\n"
      "do while (n < 3); p = p*(a + n*x); n = n + 1; end;\n"
      "model y = t{4} + p;\n",
      // The parameters themselves read through an array.
      "parms a = 1 b = 1;\n"
      "array p{2} a b;\n"
      "model y = p{1}*exp(-p{2}*x);\n",
      // An array whose elements include one that depends on no parameter and
      // a variable of the data set, which is read by name as well.
      "parms a = 1 b = 1;\n"
      "array t{3} t1 t2 x;\n"
      "t1 = a*x; t2 = 5 + x;\n"
      "k = 1 + (x > 0.5);\n"
      "model y = b*t{k} + t{3}*a + b*x;\n",
      // An array of a parameter and a variable the program assigns: the
      // assigned element gets derivatives of its own.
      "parms a = 1 b = 1;\n"
      "array v{2} a z;\n"
      "z = b*x**2 + a;\n"
      "model y = v{1}*exp(-v{2}*x);\n",
  };
  for (const char* program : programs) {
    reset();
    ASSERT_TRUE(compile_model(program)) << program << log_text();
    for (double x : {0.3, 0.9})
      expect_matches_differences({0.6, 1.4}, {x}, std::string(program) + " x=" + std::to_string(x));
  }
}

TEST_F(ProgramDerivatives, RetainedValuesCarryTheirDerivativesAcrossObservations) {
  ASSERT_TRUE(
      compile_model("parms a = 1 b = 1;\nretain s 0;\ns = s + a*x + b*b;\nmodel y = s*a;\n"));
  parm_ = {0.5, 2.0};
  start_pass();
  double sum_x = 0, s = 0;
  for (int k = 1; k <= 4; ++k) {
    const double x = 0.3 * k;
    sum_x += x;
    s += 0.5 * x + 4.0;
    ASSERT_EQ(run({x}), 0);
    // y = s a with s = sum(a x_i + b^2): dy/da = s + a sum x, dy/db = 2 a b k.
    EXPECT_NEAR(gradient(0), s + 0.5 * sum_x, 1e-12);
    EXPECT_NEAR(gradient(1), 2 * 0.5 * 2.0 * k, 1e-12);
    EXPECT_NEAR(hessian(0, 0), 2 * sum_x, 1e-12);
    EXPECT_NEAR(hessian(1, 0), 2 * 2.0 * k, 1e-12);
    EXPECT_NEAR(hessian(1, 1), 2 * 0.5 * k, 1e-12);
  }
  // A new pass starts the derivatives again from 0.
  start_pass();
  ASSERT_EQ(run({1.0}), 0);
  EXPECT_NEAR(gradient(1), 2 * 0.5 * 2.0, 1e-12);
}

TEST_F(ProgramDerivatives, ParametersTheModelDoesNotUseGetNoDerivative) {
  ASSERT_TRUE(compile_model("parms a = 1 b = 1 c = 1;\nu = c*2;\nmodel y = a*exp(b*x);\n"))
      << log_text();
  const int c = index_of("c");
  EXPECT_EQ(first_.nnonzero[c], 0);
  EXPECT_EQ(first_.nnonzero[index_of("a")], 1);
  EXPECT_EQ(first_.nnonzero[index_of("b")], 1);
  EXPECT_EQ(first_of("c"), nullptr);
  for (int k = 0; k < second_.der.n; ++k) EXPECT_NE(second_.wrtindex[k], c);
  // No derivative of anything with respect to c was made, not even of u.
  EXPECT_EQ(sym("@MODEL.y/@c"), nullptr);
  EXPECT_EQ(sym("@u/@c"), nullptr);
  cmppsts("Code Listing", 12, &cmp_);
  EXPECT_EQ(listing_text().find("/@c"), std::string::npos) << listing_text();
}

TEST_F(ProgramDerivatives, SecondDerivativesComeOncePerPairInTheLowerTriangle) {
  ASSERT_TRUE(compile_model("parms a = 1 b = 1 c = 1;\nmodel y = a*exp(b*x) + c*x;\n"));
  // Non-zero: (b, a) and (b, b); a, c linear.
  ASSERT_EQ(second_.der.n, 2);
  for (int k = 0; k < second_.der.n; ++k) {
    EXPECT_GE(second_.objindex[k], second_.wrtindex[k]);
    EXPECT_EQ(second_.objindex[k], index_of("b"));
  }
  EXPECT_EQ(second_.nnonzero[index_of("c")], 0);
}

// A value linear in the parameters (a sum built in a loop over an array of
// them, in a LINK routine) has no second derivatives: only what is not
// linear in them (exp of the sum) gets second derivatives, and those still
// match differences of the program's values.
TEST_F(ProgramDerivatives, SecondDerivativesOnlyWhereAValueIsNotLinear) {
  ASSERT_TRUE(compile_model("parms a = 1 b = 1 c = 1;\narray bb{2} a b;\narray t{2} _temporary_;\n"
                            "link terms;\nif eta < 50 then m = exp(eta); else m = .;\n"
                            "model y = m*x + c*x;\nreturn;\n"
                            "terms: t{1} = 1; t{2} = 2*x - 1;\n"
                            "eta = 0; do k = 1 to 2; eta = eta + bb{k}*t{k}; end;\nreturn;\n"))
      << log_text();
  for (const char* name : {"@@eta/@a@a", "@@eta/@a@b", "@@eta/@b@b"}) EXPECT_EQ(sym(name), nullptr) << name;
  EXPECT_NE(sym("@@m/@a@b"), nullptr);
  EXPECT_EQ(second_.nnonzero[index_of("c")], 0);
  for (double x : {0.2, 0.7})
    expect_matches_differences({0.3, -0.4, 0.8}, {x}, "x=" + std::to_string(x));
}

TEST_F(ProgramDerivatives, ConstantDerivativesAreLiterals) {
  ASSERT_TRUE(compile_model("parms a = 1 b = 1;\nmodel y = a + b*x;\n"));
  ASSERT_NE(first_of("a"), nullptr);
  EXPECT_TRUE(cmp_literal(first_of("a")));
  EXPECT_EQ(*cmp_cell(first_of("a")), 1.0);
  EXPECT_FALSE(cmp_literal(first_of("b")));
  EXPECT_EQ(second_.der.n, 0);  // a linear model has no second derivative
  // The derivative of b depends on x, a variable of the input data set.
  data_.variables = {numeric("x", 1)};
  bool reads_x = false;
  for (CMPSYM* d = cmpndep(&cmp_, first_of("b"), nullptr, 0, 1); d;
       d = cmpndep(&cmp_, first_of("b"), d, 0, 1))
    reads_x = reads_x || std::string(d->name) == "x";
  EXPECT_TRUE(reads_x);

  // The same constant on every path: a literal; different constants: a variable.
  reset();
  ASSERT_TRUE(
      compile_model("parms a = 1 b = 1;\n"
                    "if x > 1 then m = a + 2*b; else m = 3*b + a;\n"
                    "t = 2*(m + m);\n"
                    "model y = t - 3*a;\n"));
  EXPECT_TRUE(cmp_literal(first_of("a")));
  EXPECT_EQ(*cmp_cell(first_of("a")), 1.0);
  EXPECT_FALSE(cmp_literal(first_of("b")));
  model_at({1, 1}, {2.0}, 1);
  EXPECT_EQ(gradient(index_of("b")), 8.0);
  model_at({1, 1}, {0.5}, 1);
  EXPECT_EQ(gradient(index_of("b")), 12.0);

  // A derivative that cancels to zero is no derivative at all.
  reset();
  ASSERT_TRUE(compile_model("parms a = 1 b = 1;\nmodel y = (a - a)*x + b*x;\n", false));
  EXPECT_EQ(first_.nnonzero[index_of("a")], 0);
}

TEST_F(ProgramDerivatives, AnAssignedParameterKeepsDerivativeOne) {
  // The procedure warns about a program that assigns a parameter; the
  // derivatives treat the parameter as the variable of differentiation
  // wherever it is read.
  ASSERT_TRUE(compile_model("parms a = 1 b = 1;\nb = b*2;\nmodel y = a*b*x;\n", false))
      << log_text();
  model_at({3.0, 5.0}, {2.0}, 1);
  EXPECT_EQ(gradient(index_of("b")), 6.0);
  EXPECT_EQ(sym("@b/@b"), nullptr);
}

TEST_F(ProgramDerivatives, RunsForTheModelValueSkipTheDerivatives) {
  ASSERT_TRUE(compile_model("parms a = 1 b = 1;\nmodel y = exp(a*x)*log(b + x);\n"));
  model_at({0.5, 1.5}, {0.4}, 1);
  const double before = gradient(0);
  const double value = model_at({0.9, 2.5}, {0.4}, 0);
  EXPECT_EQ(gradient(0), before);  // not recomputed
  EXPECT_DOUBLE_EQ(value, std::exp(0.9 * 0.4) * std::log(2.9));
  model_at({0.9, 2.5}, {0.4}, 1);
  EXPECT_DOUBLE_EQ(gradient(0), 0.4 * value);
}

// A request on demand (options 102 and 202): its statements run only when a
// run asks for every derivative (2); the fit's runs (1) leave its
// derivatives missing and compute the model's. A request through a
// function without a derivative is dropped without a message.
TEST_F(ProgramDerivatives, RequestsOnDemandRunOnlyWhenARunAsksForThem) {
  CMPDER first{}, second{}, dropped{};
  before_generation_ = [&] {
    CMPLIST loss{}, q{};
    cmplst(&loss, sym("l"), &cmp_);
    ASSERT_EQ(cmpder(&first, &loss, &parms_, 102, 'p', 1, 0, &cmp_), 0);
    ASSERT_EQ(first.der.n, 2);
    ASSERT_EQ(cmpder(&second, &first.der, &parms_, 202, 'p', 1, 0, &cmp_), 0);
    cmplst(&q, sym("q"), &cmp_);
    EXPECT_EQ(cmpder(&dropped, &q, &parms_, 102, 'p', 1, 0, &cmp_), 1);
  };
  ASSERT_TRUE(compile_model("parms a = 1 b = 1;\nm = a*exp(b*x);\nmodel y = m;\nl = (2 - m)**2*m;\n"
                            "q = probt(0.5, a + 5);\n",
                            false));
  EXPECT_EQ(nretain_, 0);
  EXPECT_EQ(log_text().find("PROBT"), std::string::npos) << log_text();
  // l = 4m - 4m^2 + m^3: l' = 4 - 8m + 3m^2, l'' = 6m - 8; dm/da = e, dm/db = a x e.
  const double a = 0.7, b = 1.3, x = 0.4, e = std::exp(b * x), m = a * e;
  const double dl = 4 - 8 * m + 3 * m * m, d2l = 6 * m - 8, dm[2] = {e, a * x * e};
  const double d2m[3] = {0, x * e, a * x * x * e};  // aa, ab, bb
  for (int level : {1, 2}) {
    model_at({a, b}, {x}, level);
    EXPECT_DOUBLE_EQ(gradient(0), e);
    for (int i = 0; i < 2; ++i) {
      const double got = *cmp_cell(first.der.s[i]);
      if (level == 1) EXPECT_TRUE(is_missing(got));
      else EXPECT_NEAR(got, dl * dm[i], 1e-13);
    }
  }
  ASSERT_EQ(second.der.n, 3);
  for (int k = 0; k < 3; ++k) {
    const int i = second.objindex[k], j = second.wrtindex[k];
    EXPECT_NEAR(*cmp_cell(second.der.s[k]), d2l * dm[i] * dm[j] + dl * d2m[i + j], 1e-12) << i << j;
  }
}

// The second derivatives of l at b for observation x, packed, from the
// products of a request for them (option 203) or pair by pair (102, then
// 202); empty when the request for products is refused. The program runs
// twice, so that a value kept from the observation before has one.
std::vector<double> ProgramDerivatives::curvature_of_l(const char* program, bool products,
                                                        const std::vector<double>& b, double x) {
  reset();
  CMPDER first{}, second{}, terms{};
  bool refused = false;
  before_generation_ = [&] {
    CMPLIST l{}, vectors{};
    cmplst(&l, sym("l"), &cmp_);
    if (products && (refused = cmpder(&terms, &l, &parms_, 203, 'p', 1, 0, &cmp_) != 0)) return;
    for (int k = 0; k < terms.der.n; ++k)
      if (k % 3 && terms.wrtindex[k] < 0) cmplst(&vectors, terms.der.s[k], &cmp_);
    ASSERT_EQ(cmpder(&first, products ? &vectors : &l, &parms_, 102, 'p', 1, 0, &cmp_), 0);
    if (products) return;
    CMPLIST g{};
    for (int j = 0; j < parms_.n; ++j) cmplst(&g, cmplit("0", 1, &cmp_), &cmp_);
    for (int k = 0; k < first.der.n; ++k) g.s[first.wrtindex[k]] = first.der.s[k];
    ASSERT_EQ(cmpder(&second, &g, &parms_, 202, 'p', 1, 0, &cmp_), 0);
  };
  EXPECT_TRUE(compile_model(program, false)) << program << log_text();
  if (refused) return {};
  model_at(b, {x}, 2);
  model_at(b, {x}, 2);
  const std::size_t n = b.size();
  std::vector<double> h(n * (n + 1) / 2, 0.0);
  for (int k = 0; k < second.der.n; ++k) {
    const int i = std::max(second.objindex[k], second.wrtindex[k]);
    const int j = std::min(second.objindex[k], second.wrtindex[k]);
    h[static_cast<std::size_t>(i * (i + 1) / 2 + j)] = *cmp_cell(second.der.s[k]);
  }
  auto vector_of = [&](int k) {  // entry k of the products' record
    std::vector<double> v(n, 0.0);
    if (terms.wrtindex[k] >= 0) v[static_cast<std::size_t>(terms.wrtindex[k])] = 1;
    for (int e = 0; e < first.der.n; ++e)
      if (first.obj.s[first.objindex[e]] == terms.der.s[k])
        v[static_cast<std::size_t>(first.wrtindex[e])] = *cmp_cell(first.der.s[e]);
    return v;
  };
  for (int t = 0; 3 * t < terms.der.n; ++t) {
    const double c = *cmp_cell(terms.der.s[3 * t]);
    if (c == 0) continue;  // a path the run did not take: its vectors may be missing
    const std::vector<double> u = vector_of(3 * t + 1), v = vector_of(3 * t + 2);
    const bool square = terms.der.s[3 * t + 1] == terms.der.s[3 * t + 2];
    for (std::size_t i = 0, k = 0; i < n; ++i)
      for (std::size_t j = 0; j <= i; ++j, ++k) h[k] += c * (square ? u[i] * u[j] : u[i] * v[j] + v[i] * u[j]);
  }
  return h;
}

// A loss of a program without loops and jumps has its second derivatives
// as a few products of first-derivative vectors, equal to those made pair
// by pair on every path (IF, SELECT, RETURN, the previous observation's
// value, a CONTROL value, a value that adds to itself, a parameter read
// directly and through values it sets). Loops, jumps, elements of arrays
// that vary and retained values refuse the request, and the pairs are made
// as before.
TEST_F(ProgramDerivatives, SecondDerivativesOfALossAsProductsOfFirstDerivatives) {
  const char* factored[] = {
      "parms a = 1 b = 1 c = 1;\nm = a*exp(b*x);\nmodel y = m;\n"
      "if x > 0.5 then l = (2 - m)**2*m + c*b*m; else l = log(m)*c**2;\n",
      "parms a = 1 b = 1 c = 1;\narray t{2} _temporary_ (1 2);\neta = a + b*x*t{2} + c*x**2;\n"
      "select; when (x < 0.5) mu = exp(eta); otherwise mu = 1/(1 + exp(-eta)); end;\n"
      "model y = mu;\nretain p 0.5;\nr = x - mu;\nl = sqrt(r**2 + 1)*exp(c*x) + p*c;\np = x;\n",
      "parms a = 1 b = 1 c = 1;\ncontrol k 2;\nm = a/(b + x);\nmodel y = m;\n"
      "l = (2 - m)**2*m*k;\nif x > 0.5 then return;\nl = l + c*b*m;\n",
  };
  for (const char* program : factored)
    for (double x : {0.3, 0.7}) {
      const std::vector<double> products = curvature_of_l(program, true, {0.6, -0.4, 0.8}, x);
      const std::vector<double> pairs = curvature_of_l(program, false, {0.6, -0.4, 0.8}, x);
      ASSERT_EQ(products.size(), 6u) << program;
      for (std::size_t k = 0; k < 6; ++k)
        EXPECT_NEAR(products[k], pairs[k], 1e-13 * std::max(1.0, std::fabs(pairs[k]))) << program << x << " " << k;
    }
  const std::string model = "parms a = 1 b = 1 c = 1;\nmodel y = a*x + b + c;\n";
  for (const std::string loss : {"s = 0; do i = 1 to 2; s = s + a**i; end; l = s*b;",
                                  "link f; l = u*b; return; f: u = exp(a*c); return;",
                                  "u = a*b; if x > 2 then goto e; u = exp(u); e: l = u*c;",
                                  "array v{2} u w; u = a*b; w = c; l = v{1}*v{2};",
                                  "retain u 0; u = a*b + u*0; l = u*c;"}) {
    EXPECT_TRUE(curvature_of_l((model + loss).c_str(), true, {0.6, -0.4, 0.8}, 0.3).empty()) << loss;
    EXPECT_EQ(curvature_of_l((model + loss).c_str(), false, {0.6, -0.4, 0.8}, 0.3).size(), 6u) << loss;
  }
}

TEST_F(ProgramDerivatives, EstimateExpressionsHaveDerivativesAndInputs) {
  add("parms a = 1 b = 1;\n"
      "c = a*b;\n"
      "model y = a + b*x;\n"
      "estimate 'e1' exp(a)*b;\n"
      "estimate 'e2' c + a/b;\n");
  double parm[2] = {0.7, 1.6};
  CMPDER record{};
  EXPECT_EQ(expression_derivatives({"ESTIMATE.1", "ESTIMATE.2"}, parm, &record),
            (std::vector<std::string>{"a", "b", "c"}))
      << log_text();
  // A contrast that reads a variable of the data set names it.
  add("contrast 'k' a*x;\n");
  CMPLIST rows{};
  cmplst(&rows, sym("CONTRAST.1"), &cmp_);
  CMPDER contrast{};
  int count = 0;
  CMPSYM** read = cmpderx(&contrast, &rows, &parms_, 20, &count, 0, 1, 1, &cmp_);
  ASSERT_EQ(count, 2);
  EXPECT_STREQ(read[1]->name, "x");
  EXPECT_TRUE(cmp_dataset_var(read[1]));
  ASSERT_EQ(record.der.n, 4);
  ASSERT_EQ(cmpgen(&cmp_), 0);
  cmppdv(&data_, &dataptr_, &cmp_);
  start_pass();
  ASSERT_EQ(run({0.5}), 0);
  seg_ = 1;
  ASSERT_EQ(run({0.5}), 0);
  seg_ = 0;
  const double a = parm[0], b = parm[1];
  const double want[2][2] = {{std::exp(a) * b, std::exp(a)}, {b + 1 / b, a - a / (b * b)}};
  for (int k = 0; k < record.der.n; ++k)
    EXPECT_NEAR(*cmp_cell(record.der.s[k]), want[record.objindex[k]][record.wrtindex[k]], 1e-14)
        << record.der.s[k]->name;
}

// ESTIMATE expressions the statement language reads without knowing the
// program's arrays (an element written p(1)), with selections inside them.
TEST_F(ProgramDerivatives, EstimatesOfArrayElementsAndSelections) {
  auto step = platform::language::parse_step(
      "proc ruva;\nparms b1 = 1 b2 = 1;\narray p{2} b1-b2;\nmodel y = p{1} + p{2}*x;\n"
      "estimate 'ratio' p(1) / p{2};\n"
      "estimate 'smaller' +b1 >< b2;\n"
      "estimate 'largest' max(b1, 2*b2, 0.1);\n"
      "estimate 'larger' b1 <> b2*2;\n",
      1);
  ASSERT_TRUE(step->errors.empty());
  platform::compiler::add_program(&cmp_, std::move(step->program));
  double parm[2] = {0.7, 1.6};
  CMPDER record{};
  EXPECT_EQ(expression_derivatives({"ESTIMATE.1", "ESTIMATE.2", "ESTIMATE.3", "ESTIMATE.4"}, parm, &record),
            (std::vector<std::string>{"b1", "b2"}))
      << log_text();
  ASSERT_EQ(cmpgen(&cmp_), 0);
  cmppdv(&data_, &dataptr_, &cmp_);
  start_pass();
  seg_ = 1;
  ASSERT_EQ(run({0.5}), 0);
  seg_ = 0;
  const double a = parm[0], b = parm[1];
  // a/b; a below b; 2b the largest; 2b above a.
  const double want[4][2] = {{1 / b, -a / (b * b)}, {1, 0}, {0, 2}, {0, 2}};
  double got[4][2] = {};
  for (int k = 0; k < record.der.n; ++k) got[record.objindex[k]][record.wrtindex[k]] = *cmp_cell(record.der.s[k]);
  for (int e = 0; e < 4; ++e)
    for (int j = 0; j < 2; ++j) EXPECT_NEAR(got[e][j], want[e][j], 1e-15) << e << " " << j;
}

TEST_F(ProgramDerivatives, UserDerivativesAreDifferentiatedForTheSecondDerivatives) {
  // All first derivatives given: the second come from the DER. statements.
  add("parms a = 1 b = 1;\n"
      "model y = a*exp(b*x);\n"
      "der.a = exp(b*x);\n"
      "der.b = a*x*exp(b*x);\n");
  cmprslv(&data_, &cmp_);
  CMPLIST parms{};
  cmplstb(&parms, kCmpKindParms, -1, &cmp_);
  double parm[2] = {1.5, 0.4};
  cmplsts(&parms, parm, &cmp_);
  cmpdfla(0, 0, 0, 1, &cmp_);
  CMPLIST gradient{};
  cmplst(&gradient, sym("der.a"), &cmp_);
  cmplst(&gradient, sym("der.b"), &cmp_);
  CMPDER record{};
  ASSERT_EQ(cmpder(&record, &gradient, &parms, 101, 'p', 1, 0, &cmp_), 0) << log_text();
  // d der.a/da is zero; (b, a) and (a, b) are both given; (b, b).
  ASSERT_EQ(record.der.n, 3);
  ASSERT_EQ(cmpgen(&cmp_), 0);
  cmppdv(&data_, &dataptr_, &cmp_);
  start_pass();
  ASSERT_EQ(run({2.0}), 0);
  const double e = std::exp(0.4 * 2.0);
  for (int k = 0; k < record.der.n; ++k) {
    const int i = record.objindex[k], j = record.wrtindex[k];
    const double want = i == 1 && j == 1 ? 1.5 * 4 * e : 2 * e;
    EXPECT_NEAR(*cmp_cell(record.der.s[k]), want, 1e-13) << i << j;
  }
}

TEST_F(ProgramDerivatives, ThirdDerivativesAreRefused) {
  ASSERT_TRUE(compile_model("parms a = 1;\nmodel y = exp(a*x);\n"));
  CMPLIST hess{};
  cmplst(&hess, second_.der.s[0], &cmp_);
  CMPDER third{};
  EXPECT_NE(cmpder(&third, &hess, &parms_, 101, 'p', 1, 0, &cmp_), 0);
  EXPECT_NE(nretain_, 0);
  EXPECT_NE(log_text().find("derivatives of the third order"), std::string::npos) << log_text();
}

TEST_F(ProgramDerivatives, ListingsShowTheDerivativesAndTheDependencies) {
  ASSERT_TRUE(compile_model("parms a = 1 b = 1;\nu = b*x;\nmodel y = a*exp(u);\n", false));
  cmppder(&first_, &cmp_);
  cmppdep(&cmp_);
  const std::string text = listing_text();
  EXPECT_NE(text.find("Listing of Derivatives"), std::string::npos) << text;
  EXPECT_NE(text.find("MODEL.y              b                    @MODEL.y/@b"), std::string::npos)
      << text;
  // The derivative's statement after those of the derivatives it reads.
  const auto u = text.find("@u/@b = x;"), t = text.find("@@T1/@b = @T1*@u/@b;"),
             m = text.find("@MODEL.y/@b = a*@@T1/@b;");
  EXPECT_TRUE(u < t && t < m && m != std::string::npos) << text;
  EXPECT_NE(text.find("Listing of Compiled Program Dependencies"), std::string::npos) << text;
  EXPECT_NE(text.find("MODEL.y              a b x"), std::string::npos) << text;
  EXPECT_NE(text.find("u                    b x"), std::string::npos) << text;
}

}  // namespace
}  // namespace derivative_test
