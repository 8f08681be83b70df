// Analytic derivatives of the program by source transformation. After every
// assignment whose target can depend on a variable of differentiation, the
// transformation adds statements that compute the target's derivatives
// (first, then second) from the derivatives of what the value reads, so that
// IF, SELECT, DO loops, GOTO, LINK and RETAIN need nothing of their own: the
// derivative statements run on the same path as the values. Which variable
// can depend on which variable of differentiation is a union over all
// paths; derivatives that are zero are not computed, and those that are the
// same constant on every path become literals. Second derivatives are
// computed only in the pairs of variables in which a value is not linear
// (pass6_derivative_curvature.cpp).
//
// The derivative of `v` with respect to `p` is the symbol "@v/@p"; the
// second derivative with respect to `p` and `q` is "@@v/@p@q" (one symbol
// for both orders). Array elements have derivative arrays "@X/@p". Values
// the derivatives share (exp(u) inside an expression, a MIN) become hidden
// variables "@T<n>" computed just before their statement.
//
// Every request is kept: each new request rebuilds the derivative
// statements of all requests so far from the program (the shared values
// stay), so the statements exist once whatever the order of requests.
//
// A request on demand is for a check the runs of the fit do not need: the
// statements only it needs are grouped after those of the other requests
// at each assignment and run only when a run asks for every derivative
// (RunOptions::derivatives). It is tentative: when a function it needs has
// no derivative, it is dropped without a message and the statements are
// those of the other requests, as before it.
//
// A request for products (request_terms) asks for an objective's second
// derivatives without a statement per pair of variables: as a few
// coefficients times products of first-derivative vectors
// (pass6_derivative_terms.cpp), which a caller sums with the kernels of a
// cross product.
#pragma once

#include <map>
#include <set>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "platform/compiler/compiler.h"

namespace platform::compiler {

class Derivatives {
 public:
  explicit Derivatives(Compiler& c) : c_(c) {}

  // The derivatives of objective o with respect to w for each pair (o, w):
  // a derivative symbol, a literal symbol, or null for zero. The
  // derivative of a first derivative "@v/@p" is the second derivative of v.
  // False after a compile error, or when a request on demand was dropped.
  bool request(const std::vector<std::pair<CMPSYM*, CMPSYM*>>& pairs, std::vector<CMPSYM*>* out,
               bool on_demand = false);

  // One product of the second derivatives of an objective: coefficient
  // times (g_l g_r' + g_r g_l'), or times g_l g_l' when left is right,
  // where g_x is the vector of first derivatives of x: of a variable of the
  // program, or the unit vector of a variable of differentiation.
  struct Term {
    int objective;  // its index among the objectives asked for
    CMPSYM* coefficient;
    CMPSYM* left;
    CMPSYM* right;
  };
  // On demand: the first derivatives of each objective with respect to each
  // of `wrt`, and its second derivatives as products into *terms. False,
  // with the request dropped, when the program's values do not factor so
  // (loops, jumps, arrays, retained values, too many products) or after a
  // compile error.
  bool request_terms(const std::vector<CMPSYM*>& objectives, const std::vector<CMPSYM*>& wrt,
                     std::vector<Term>* terms);

  // The first derivative symbol "@v/@p" behind s, as (v, p), if s is one.
  bool first_derivative_of(const CMPSYM* s, CMPSYM** base, CMPSYM** wrt) const;
  // The statements that assign a derivative symbol (for the listing).
  std::vector<const language::Stmt*> definitions(const CMPSYM* s) const;
  // The variables the assignments to s read, hidden shared values expanded.
  std::vector<CMPSYM*> inputs_of(const CMPSYM* s);

 private:
  // An assignment statement (or a MODEL statement) and its target.
  struct Site {
    language::Stmt* stmt = nullptr;
    Symbol* target = nullptr;  // a variable, or null for an array element
    int array = -1;            // the array of an element target
    int node = 0;
  };

  class BitLeaves;  // pass6_derivative_build.cpp
  struct Branch;
  struct Request {
    int objective;  // symbol id
    int bit;
    bool on_demand;
    bool terms = false;  // its second derivatives as products, too
  };
  // pass6_derivative_terms.cpp: a vector of first derivatives is a node's
  // (>= 0) or the unit vector of bit b (-1 - b); a slot is a pair of them,
  // the smaller first.
  using Slot = std::pair<int, int>;
  struct Leaf {
    const Symbol* symbol;       // a variable the value reads
    int node;                   // its node
    int vector;                 // its vector
    language::ExprPtr partial;  // the value's partial derivative in it
  };
  struct SiteTerms {
    std::vector<Leaf> leaves;                                  // those with a non-zero partial
    std::vector<std::pair<Slot, language::ExprPtr>> seconds;  // non-zero second partials
  };

  bool rebuild();
  // pass6_derivative_build.cpp: the derivative statements of every site.
  bool build(const std::vector<Site>& all);
  std::vector<Branch> branches(const Site& site);
  void first_constants(const std::vector<Site>& all, std::vector<std::vector<Branch>>& blocks);
  void second_constants(const std::vector<Site>& all, std::vector<std::vector<Branch>>& blocks);
  language::StmtList statements(const Site& site, std::vector<Branch>& block);
  // pass6_derivative_sharing.cpp: values the statements compute alike, once.
  void share_values(const Site& site, language::StmtList& list);
  bool factor_terms(const std::vector<Site>& all);
  bool term_sites(const std::vector<Site>& all, std::vector<int>* nodes);
  bool site_partials(const Site& site, std::vector<int>* pending);
  bool fill_slots(const std::vector<Site>& all, const std::vector<int>& nodes);
  // The coefficients the assignment at `site` sets, with their values.
  std::vector<std::pair<Symbol*, language::ExprPtr>> term_values(const Site& site);
  bool active(int node, int bit) const {
    return active_[static_cast<std::size_t>(node)][static_cast<std::size_t>(bit)];
  }
  std::vector<Site> sites();
  void assign_nodes();
  int node_of(const Symbol& s) const { return find(s.pub.id); }
  int find(int n) const;
  void activity(const std::vector<Site>& all);
  // pass6_derivative_curvature.cpp: the pairs in which each node is not linear.
  void curvature(const std::vector<Site>& all);
  // Whether node n's second derivative in bits p and q can be non-zero.
  bool curved(int n, int p, int q) const;
  void hoist(const std::vector<Site>& all);
  bool needs(const std::vector<Site>& all);
  bool propagate_needs(const std::vector<Site>& all, bool with_on_demand);
  // Whether the derivative of node n (first: hi < 0) is needed on demand only.
  bool on_demand(int n, int lo, int hi) const;
  // A node of variables of differentiation alone: its derivatives are the
  // constants 0 and 1 (assignments to them are not differentiated).
  bool wrt_node(int n) const;
  void make_symbols();
  void constant_derivatives(const std::vector<Site>& all);
  Symbol* first(Symbol& base, int bit);
  Symbol* second(Symbol& base, int lo, int hi);
  std::string derivative_array(int array, int lo, int hi);
  Symbol* new_symbol(const std::string& name, const Symbol* base);
  CMPSYM* result(CMPSYM* objective, int bit);

  Compiler& c_;
  std::vector<int> wrt_;                                   // bit -> symbol id
  std::unordered_map<int, int> bit_of_;                    // symbol id -> bit
  std::vector<Request> requests_;
  std::map<std::pair<int, int>, Symbol*> first_;           // (base id, bit)
  std::map<std::tuple<int, int, int>, Symbol*> second_;    // (base id, lo, hi)
  std::unordered_map<int, std::pair<int, int>> first_of_;  // derivative id -> (base id, bit)
  std::set<int> second_ids_;
  std::map<std::tuple<int, int, int>, std::string> arrays_;  // (array, lo, hi or -1) -> key
  std::unordered_map<std::string, std::pair<int, int>>
      array_of_;                              // first-order key -> (array, bit)
  std::unordered_map<int, double> constant_;  // derivative id -> its constant
  std::unordered_map<int, std::vector<const language::Stmt*>> definitions_;
  int temps_ = 0;
  bool tentative_ = false;    // a request on demand is being built
  bool unsupported_ = false;  // and met a function without a derivative

  // Analysis state of one rebuild.
  std::vector<int> parent_;                // union-find over symbols and arrays
  int array_base_ = 0;                     // node of array k is array_base_ + k
  std::vector<std::vector<bool>> active_;  // node -> bits it can depend on
  std::vector<std::vector<bool>> curved_;  // node -> pairs in which it is not linear
  std::vector<std::vector<bool>> need1_;   // node -> bits of first derivatives wanted
  std::vector<std::vector<bool>> need2_;   // node -> pairs of second derivatives wanted
  // The same for the requests not on demand.
  std::vector<std::vector<bool>> fit_need1_, fit_need2_;
  // The products of the requests for them: each assignment's part, the
  // slots of each node, and the coefficient symbol of each (node, slot).
  std::unordered_map<const language::Stmt*, SiteTerms> site_terms_;
  std::map<int, std::set<Slot>> slots_;
  std::map<std::pair<int, Slot>, Symbol*> coefficients_;
};

}  // namespace platform::compiler
