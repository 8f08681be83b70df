// Vector 148: analytic derivatives (cmpder, cmpderx) and the listings of
// the derivatives and of the dependencies (cmppder, cmppdep).
//
// The derivative record a request fills (its storage from the task pool):
//   obj, wrt   copies of the lists asked for;
//   der        one symbol per non-zero derivative: a derivative variable of
//              the program ("@v/@p", "@@v/@p@q"), or a literal symbol when
//              the derivative is the same constant on every path;
//   objindex, wrtindex  per entry, the positions of its objective in obj
//              and of its variable in wrt;
//   nnonzero   per variable of wrt, the number of its entries.
// Entries come objective by objective, in the order of wrt. A derivative
// that is zero has no entry.
//
// Options: 101 first derivatives, 201 second derivatives of first
// derivatives made before; 102 and 202 the same on demand (see
// pass6_derivatives.h); 203, on demand, the first derivatives of the
// objectives and their second derivatives as products of first derivatives
// (Derivatives::request_terms), refused (1) where the program does not
// factor so. A 203 record's der holds three entries per product: its
// coefficient, then the two variables whose first-derivative vectors it
// multiplies (a variable of wrt standing for its unit vector); objindex is
// the objective's, wrtindex the position in wrt of such a variable, else -1.
// Its objectives' first derivatives are asked for with 102 (they run in the
// same statements).
#include <algorithm>
#include <cstring>
#include <functional>
#include <set>

#include "platform/compiler/compiler.h"
#include "platform/compiler/listings.h"
#include "platform/compiler/pass6_derivatives.h"
#include "platform/compiler/source_text.h"
#include "platform/host.h"
#include "platform/services/service_impls.h"

namespace platform::svc {

using compiler::Compiler;
using compiler::compiler_of;
using compiler::Derivatives;

namespace {

Derivatives& derivatives_of(Compiler& c) {
  if (!c.derivatives) c.derivatives = std::make_unique<Derivatives>(c);
  return *c.derivatives;
}

std::int32_t* task_ints(int n) {
  const long bytes = static_cast<long>(std::max(n, 1)) * static_cast<long>(sizeof(std::int32_t));
  auto* p = static_cast<std::int32_t*>(Host::current().task_pool().allocate(bytes));
  if (p) std::memset(p, 0, static_cast<std::size_t>(bytes));
  return p;
}

bool copy_list(CMPLIST* to, const CMPLIST* from, CMPGLOBAL* cmp) {
  to->pool = nullptr;
  return cmplsta(to, std::max(from->n, 1), cmp) == 0 && cmplstn(to, from->n, from->s, cmp) == 0;
}

bool same_name(const std::string& a, const char* b) {
  return compiler::upper_key(a) == compiler::upper_key(b);
}

// With option 2xx, the position in wrt of the variable objective i is
// itself a derivative with respect to (a generated "@v/@p" or a DER.p
// variable); -1 when there is none.
int own_position(Derivatives& d, const CMPSYM* objective, const CMPLIST* wrt) {
  CMPSYM *base = nullptr, *of = nullptr;
  std::string name;
  if (d.first_derivative_of(objective, &base, &of))
    name = of->name;
  else if (std::strncmp(compiler::upper_key(objective->name).c_str(), "DER.", 4) == 0)
    name = objective->name + 4;
  if (name.empty()) return -1;
  for (int j = 0; j < wrt->n; ++j)
    if (same_name(name, wrt->s[j]->name)) return j;
  return -1;
}

// An empty record of `entries` entries for the objectives and variables.
bool start_record(CMPDER* der, CMPLIST* obj, CMPLIST* wrt, int entries, Compiler& c, CMPGLOBAL* cmp) {
  *der = CMPDER{};
  if (!copy_list(&der->obj, obj, cmp) || !copy_list(&der->wrt, wrt, cmp) ||
      cmplsta(&der->der, std::max(entries, 1), cmp) != 0)
    return false;
  der->objindex = task_ints(entries);
  der->wrtindex = task_ints(entries);
  der->nnonzero = task_ints(wrt->n);
  if (!der->objindex || !der->wrtindex || !der->nnonzero) {
    c.out_of_memory(static_cast<long>(2 * entries + wrt->n) * 4);
    return false;
  }
  return true;
}

// Asks for the derivatives and fills the record; 0, or 1 after an error or
// when a request on demand (option x02) was dropped.
int fill(CMPDER* der, CMPLIST* obj, CMPLIST* wrt, int option, Compiler& c, CMPGLOBAL* cmp) {
  Derivatives& d = derivatives_of(c);
  std::vector<std::pair<CMPSYM*, CMPSYM*>> pairs;
  std::vector<std::pair<int, int>> where;
  for (int i = 0; i < obj->n; ++i) {
    const int own = option / 100 == 2 ? own_position(d, obj->s[i], wrt) : -1;
    for (int j = 0; j < wrt->n; ++j) {
      if (own >= 0 && j > own) continue;
      pairs.emplace_back(obj->s[i], wrt->s[j]);
      where.emplace_back(i, j);
    }
  }
  std::vector<CMPSYM*> found;
  if (!d.request(pairs, &found, option % 100 == 2)) return 1;
  const int entries =
      static_cast<int>(std::count_if(found.begin(), found.end(), [](CMPSYM* s) { return s; }));
  if (!start_record(der, obj, wrt, entries, c, cmp)) return 1;
  int k = 0;
  for (std::size_t e = 0; e < found.size(); ++e) {
    if (!found[e]) continue;
    cmplst(&der->der, found[e], cmp);
    der->objindex[k] = where[e].first;
    der->wrtindex[k] = where[e].second;
    ++der->nnonzero[where[e].second];
    ++k;
  }
  return 0;
}

// The statements that compute a derivative, after those of the generated
// derivatives they read (each shown once).
void print_definitions(Compiler& c, const CMPSYM* d, std::set<const CMPSYM*>* shown) {
  if (!shown->insert(d).second) return;
  const auto statements = c.derivatives->definitions(d);
  std::function<void(const language::Expr&)> reads = [&](const language::Expr& e) {
    if (e.kind == language::ExprKind::Variable)
      if (const compiler::Symbol* s = c.symbols.find(e.name)) print_definitions(c, &s->pub, shown);
    for (const auto& a : e.args) reads(*a);
  };
  for (const language::Stmt* s : statements) reads(*s->value);
  for (const language::Stmt* s : statements)
    compiler::listing_line("      " + compiler::statement_text(*s));
}

int position(const CMPLIST* wrt, const CMPSYM* s) {
  for (int j = 0; j < wrt->n; ++j)
    if (wrt->s[j] == s) return j;
  return -1;
}

// Option 203.
int fill_terms(CMPDER* der, CMPLIST* obj, CMPLIST* wrt, Compiler& c, CMPGLOBAL* cmp) {
  std::vector<Derivatives::Term> terms;
  if (!derivatives_of(c).request_terms(std::vector<CMPSYM*>(obj->s, obj->s + obj->n),
                                       std::vector<CMPSYM*>(wrt->s, wrt->s + wrt->n), &terms))
    return 1;
  if (!start_record(der, obj, wrt, 3 * static_cast<int>(terms.size()), c, cmp)) return 1;
  int k = 0;
  for (const Derivatives::Term& t : terms)
    for (CMPSYM* s : {t.coefficient, t.left, t.right}) {
      cmplst(&der->der, s, cmp);
      der->objindex[k] = t.objective;
      der->wrtindex[k] = s == t.coefficient ? -1 : position(wrt, s);
      ++k;
    }
  return 0;
}

bool usable(CMPDER* der, CMPLIST* obj, CMPLIST* wrt) {
  return der && obj && wrt && (obj->n == 0 || obj->s) && (wrt->n == 0 || wrt->s);
}

}  // namespace

int cmpder(CMPDER* der, CMPLIST* obj, CMPLIST* wrt, int option, int /*kind*/, int /*reserved1*/,
           int /*reserved2*/, CMPGLOBAL* cmp) {
  Compiler* c = compiler_of(cmp);
  if (!c || !usable(der, obj, wrt)) return 1;
  if (option == 203) return fill_terms(der, obj, wrt, *c, cmp);
  return fill(der, obj, wrt, option, *c, cmp);
}

CMPSYM** cmpderx(CMPDER* der, CMPLIST* exprs, CMPLIST* wrt, int option, int* count,
                 int /*reserved1*/, int /*reserved2*/, int /*reserved3*/, CMPGLOBAL* cmp) {
  if (count) *count = 0;
  Compiler* c = compiler_of(cmp);
  if (!c || !usable(der, exprs, wrt) || fill(der, exprs, wrt, option, *c, cmp)) return nullptr;
  std::vector<CMPSYM*> inputs;
  for (int i = 0; i < exprs->n; ++i)
    for (CMPSYM* s : c->derivatives->inputs_of(exprs->s[i]))
      if (std::find(inputs.begin(), inputs.end(), s) == inputs.end()) inputs.push_back(s);
  const long bytes = static_cast<long>(std::max<std::size_t>(inputs.size(), 1) * sizeof(CMPSYM*));
  auto* out = static_cast<CMPSYM**>(Host::current().task_pool().allocate(bytes));
  if (!out) {
    c->out_of_memory(bytes);
    return nullptr;
  }
  std::copy(inputs.begin(), inputs.end(), out);
  if (count) *count = static_cast<int>(inputs.size());
  return out;
}

int cmppder(CMPDER* der, CMPGLOBAL* cmp) {
  Compiler* c = compiler_of(cmp);
  if (!c || !der) return 1;
  compiler::listing_line(compiler::catalogue_text(94));
  compiler::listing_line("");
  compiler::listing_line(compiler::catalogue_text(96));
  std::set<const CMPSYM*> shown;
  for (int k = 0; k < der->der.n; ++k) {
    const CMPSYM* d = der->der.s[k];
    const CMPSYM* o = der->obj.s[der->objindex[k]];
    const CMPSYM* w = der->wrt.s[der->wrtindex[k]];
    std::string line = std::string(o->name);
    line.resize(std::max<std::size_t>(line.size() + 1, 21), ' ');
    line += w->name;
    line.resize(std::max<std::size_t>(line.size() + 1, 42), ' ');
    compiler::listing_line(line + d->name);
    if (c->derivatives) print_definitions(*c, d, &shown);
  }
  compiler::listing_line("");
  return 0;
}

int cmppdep(CMPGLOBAL* cmp) {
  Compiler* c = compiler_of(cmp);
  if (!c || !c->dataflow(false)) return 1;
  compiler::listing_line(compiler::catalogue_text(95));
  compiler::listing_line("");
  compiler::listing_line(compiler::catalogue_text(97));
  for (compiler::Symbol* s : c->pdv) {
    if (!(s->pub.flags[0] & kCmpAssigned) || s->hidden) continue;
    std::string line = s->name;
    line.resize(std::max<std::size_t>(line.size() + 1, 21), ' ');
    for (const CMPSYM* d : c->deps(*s))
      if (d->kind != 'l') line += std::string(d->name) + " ";
    while (!line.empty() && line.back() == ' ') line.pop_back();
    compiler::listing_line(line);
  }
  compiler::listing_line("");
  return 0;
}

}  // namespace platform::svc
