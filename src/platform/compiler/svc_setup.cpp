// Vector 148: the compiler block, symbols, resolution, data flow, checks,
// generation and purge.
#include <algorithm>
#include <cstdio>
#include <new>

#include "platform/compiler/api.h"
#include "platform/compiler/compiler.h"
#include "platform/compiler/executor.h"
#include "platform/host.h"
#include "platform/services/service_impls.h"

namespace platform::svc {

using compiler::Compiler;
using compiler::compiler_of;
using compiler::Symbol;

namespace {

// A name as the module passes it: counted, possibly blank-padded.
std::string name_of(const char* name, int length) {
  if (!name) return {};
  std::string s(name, static_cast<std::size_t>(std::max(length, 0)));
  const auto end = s.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : s.substr(0, end + 1);
}

}  // namespace

int cmpinit(CMPINIT* init, CMPGLOBAL* cmp) {
  if (!init || !cmp) return 1;
  delete cmp->compiler;
  cmp->compiler = nullptr;
  if (init->seg) *init->seg = 0;
  try {
    cmp->compiler = new Compiler(*init);
  } catch (const std::bad_alloc&) {
    if (init->memdef) *init->memdef += static_cast<long>(sizeof(Compiler));
    if (init->errflag) *init->errflag = 1;
    return 1;
  }
  return 0;
}

int cmppurg(CMPGLOBAL* cmp) {
  if (!cmp) return 1;
  delete cmp->compiler;
  cmp->compiler = nullptr;
  return 0;
}

CMPSYM* cmpsyms(const char* name, int length, CMPGLOBAL* cmp) {
  Compiler* c = compiler_of(cmp);
  if (!c) return nullptr;
  Symbol* s = c->symbols.find(name_of(name, length));
  return s ? &s->pub : nullptr;
}

CMPSYM* cmpsymd(const char* name, int length, int kind, int type, CMPGLOBAL* cmp) {
  Compiler* c = compiler_of(cmp);
  const std::string n = name_of(name, length);
  if (!c || n.empty()) return nullptr;
  if (Symbol* s = c->symbols.find(n)) return &s->pub;
  Symbol* s = kind == 'v' ? c->variable(n) : c->symbols.define(n);
  if (!s) return nullptr;
  s->pub.kind = static_cast<char>(kind);
  if (type == 'n' || type == '$') s->declared_type = static_cast<char>(type);
  if (type == 'n') s->pub.type = 'n';
  c->bind_to_dataset(s);
  return &s->pub;
}

CMPSYM* cmpsyma(const char* name, int length, int type, int size, double* cell, CMPGLOBAL* cmp) {
  Compiler* c = compiler_of(cmp);
  const std::string n = name_of(name, length);
  if (!c || n.empty() || (type != 'n' && type != 0) || (size != 8 && size != 0)) return nullptr;
  Symbol* s = c->symbols.find(n);
  if (!s) s = c->symbols.define(n);
  if (!s) return nullptr;
  s->pub.kind = 'm';
  s->pub.type = 'n';
  s->declared_type = 'n';
  s->pub.length = 8;
  s->pub.data = cell ? cell : c->cells.cells() + s->cell;
  return &s->pub;
}

CMPSYM* cmplit(const char* text, int length, CMPGLOBAL* cmp) {
  Compiler* c = compiler_of(cmp);
  if (!c || !text) return nullptr;
  Symbol* s = c->symbols.literal(std::string_view(text, static_cast<std::size_t>(std::max(length, 0))));
  return s ? &s->pub : nullptr;
}

CMPSYMINFO* cmpsymi(CMPSYM* sym, CMPGLOBAL* cmp) {
  Compiler* c = compiler_of(cmp);
  if (!c || !sym) return nullptr;
  if (!sym->info) {
    Symbol& s = c->symbols.of(sym);
    s.info.label = s.label.empty() ? nullptr : s.label.data();
    s.info.labeleng = static_cast<std::int16_t>(s.label.size());
    s.info.format = s.format.empty() ? nullptr : s.format.data();
    s.info.formatleng = static_cast<std::int16_t>(s.format.size());
    sym->info = &s.info;
  }
  return sym->info;
}

int cmpname(const char* prefix, int prefix_length, long number, char* buffer, int size,
            CMPGLOBAL* /*cmp*/) {
  if (!buffer || size < 1) return 0;
  const int n = std::snprintf(buffer, static_cast<std::size_t>(size), "%.*s%ld",
                              std::max(prefix_length, 0), prefix ? prefix : "", number);
  return std::min(n, size - 1);
}

int cmprslv(void* fiddata, CMPGLOBAL* cmp) {
  Compiler* c = compiler_of(cmp);
  if (!c) return 1;
  std::vector<compiler::DatasetVariable> variables;
  const auto& access = compiler::dataset_access();
  if (fiddata && access.describe && !access.describe(fiddata, &variables)) {
    c->error(25, "the variables of the input data set cannot be read");
    return 1;
  }
  c->dataset_file = fiddata;
  c->resolve(variables);
  return c->failed() ? 1 : 0;
}

int cmppdv(void* fiddata, void** dataptr, CMPGLOBAL* cmp) {
  Compiler* c = compiler_of(cmp);
  if (dataptr) *dataptr = nullptr;
  if (!c || !fiddata) return 1;
  std::vector<compiler::VariableBinding> bindings;
  for (std::size_t i = 0; i < c->symbols.size(); ++i) {
    const CMPSYM& s = c->symbols.at(i).pub;
    if (s.dsvarno > 0 && s.kind != 'l' && (s.flags[0] & kCmpDatasetVar))
      bindings.push_back({s.dsvarno, s.type != '$', s.length, s.data});
  }
  const auto& access = compiler::dataset_access();
  if (!access.bind) return 1;
  void* vector = access.bind(fiddata, bindings);
  if (dataptr) *dataptr = vector;
  if (!vector) return 1;
  // The WHERE statements run on each observation's values, as the data pass
  // would start it, once the program is generated.
  const bool where = std::any_of(c->statements.begin(), c->statements.end(),
                                 [](const auto& s) { return s->segment == 2; });
  if (where && access.filter)
    access.filter(fiddata, [cmp, vector] {
      cmpexi(0, 0, 0, cmp);
      xyvget(static_cast<XV_VECTOR*>(vector), 0);
      return compiler::where_accepts(cmp) != 0;
    });
  return 0;
}

int cmpdfla(int /*reserved1*/, int /*reserved2*/, int xref, int /*reserved3*/, CMPGLOBAL* cmp) {
  Compiler* c = compiler_of(cmp);
  return c && c->dataflow(xref != 0) ? 0 : 1;
}

int cmpchck(CMPGLOBAL* cmp) {
  Compiler* c = compiler_of(cmp);
  return c && c->check() ? 0 : 1;
}

int cmpgen(CMPGLOBAL* cmp) {
  Compiler* c = compiler_of(cmp);
  return c && c->generate() ? 0 : 1;
}

}  // namespace platform::svc
