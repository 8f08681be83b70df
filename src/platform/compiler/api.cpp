#include "platform/compiler/api.h"

#include <map>
#include <utility>

#include "platform/compiler/compiler.h"
#include "platform/compiler/pass6_derivatives.h"
#include "platform/compiler/executor.h"
#include "platform/compiler/values.h"
#include "platform/language/program_text.h"

namespace platform::compiler {
namespace {
ProgramParser g_parser = &language::parse_program_text;
}

std::vector<CMPSYM*> add_statement(CMPGLOBAL* cmp, language::StmtPtr stmt) {
  Compiler* c = compiler_of(cmp);
  if (!c) return {};
  return c->add_statement(std::move(stmt));
}

void add_program(CMPGLOBAL* cmp, language::Program&& program) {
  for (auto& stmt : program.statements) add_statement(cmp, std::move(stmt));
  program.statements.clear();
}

namespace {
using NodesByPlace = std::map<std::pair<int, int>, const language::Stmt*>;

// Each statement of segment 0 (one nested in it too) by the place it starts
// at; of two at one place, the first in the order the tree is read.
void index_nodes(const language::Stmt& s, NodesByPlace* nodes) {
  nodes->emplace(std::make_pair(s.pos.line, s.pos.column), &s);
  for (const auto* list : {&s.body, &s.else_body})
    for (const auto& child : *list) index_nodes(*child, nodes);
  for (const auto& w : s.whens)
    if (w.body) index_nodes(*w.body, nodes);
}
}  // namespace

void set_source_statements(CMPGLOBAL* cmp, std::vector<SourceStatement> sources) {
  Compiler* c = compiler_of(cmp);
  if (!c) return;
  NodesByPlace nodes;
  for (const auto& st : c->statements)
    if (st->segment == 0 && st->ast) index_nodes(*st->ast, &nodes);
  c->sources.clear();
  for (SourceStatement& src : sources) {
    auto entry = std::make_unique<CMPSTMT>();
    entry->number = static_cast<int>(c->sources.size()) + 1;
    if (auto it = nodes.find({src.line, src.column}); it != nodes.end()) entry->node = it->second;
    entry->source = std::move(src.text);
    entry->keyword = std::move(src.keyword);
    c->sources.push_back(std::move(entry));
  }
}

ProgramParser install_program_parser(ProgramParser parser) {
  ProgramParser previous = g_parser;
  g_parser = parser;
  return previous;
}

namespace {

// Parses the text and hands it over; false after the error was logged.
bool add_text(Compiler* c, CMPGLOBAL* cmp, std::string_view text) {
  language::Program program;
  std::string message = "no statement parser is installed";
  if (!g_parser || !g_parser(text, &program, &message)) {
    c->error(25, message.c_str());
    return false;
  }
  add_program(cmp, std::move(program));
  return true;
}

language::StmtPtr parms_statement(const std::vector<std::string>& names) {
  auto s = std::make_unique<language::Stmt>();
  s->kind = language::StmtKind::Parms;
  language::ParmGroup group;
  for (const std::string& n : names) {
    language::VarListItem item;
    item.kind = language::VarListKind::Name;
    item.first = n;
    group.names.push_back(item);
  }
  group.values.push_back({});
  s->parm_groups.push_back(std::move(group));
  return s;
}

bool request_derivatives(Compiler& c, bool with_second, ObjectiveProgram* out) {
  if (!c.derivatives) c.derivatives = std::make_unique<Derivatives>(c);
  Derivatives& d = *c.derivatives;
  std::vector<std::pair<CMPSYM*, CMPSYM*>> pairs;
  for (CMPSYM* p : out->parms) pairs.emplace_back(out->objective, p);
  if (!d.request(pairs, &out->gradient)) return false;
  pairs.clear();
  std::vector<std::size_t> slots;
  const std::size_t n = out->parms.size();
  out->hessian.assign(n * (n + 1) / 2, nullptr);
  if (!with_second) return true;
  CMPSYM *base = nullptr, *wrt = nullptr;
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j <= i; ++j)
      if (out->gradient[i] && d.first_derivative_of(out->gradient[i], &base, &wrt)) {
        pairs.emplace_back(out->gradient[i], out->parms[j]);
        slots.push_back(i * (i + 1) / 2 + j);
      }
  std::vector<CMPSYM*> second;
  if (!pairs.empty() && !d.request(pairs, &second)) return false;
  for (std::size_t k = 0; k < slots.size() && k < second.size(); ++k) out->hessian[slots[k]] = second[k];
  return true;
}

}  // namespace

int compile_text(CMPGLOBAL* cmp, std::string_view text, const std::vector<DatasetVariable>& inputs) {
  Compiler* c = compiler_of(cmp);
  if (!c || !add_text(c, cmp, text)) return 1;
  c->resolve(inputs);
  if (c->failed() || !c->dataflow(false) || !c->check() || !c->generate()) return 1;
  return 0;
}

int compile_objective_text(CMPGLOBAL* cmp, std::string_view text, const std::vector<DatasetVariable>& inputs,
                           const std::vector<std::string>& parms, std::string_view objective,
                           const ObjectiveOptions& options, ObjectiveProgram* out) {
  Compiler* c = compiler_of(cmp);
  if (!c || !out) return 1;
  c->notes = options.notes;
  *out = {};
  out->parms = c->add_statement(parms_statement(parms));
  if (out->parms.size() != parms.size() || !add_text(c, cmp, text)) return 1;
  c->resolve(inputs);
  if (c->failed() || !c->dataflow(false) || !c->check()) return 1;
  Symbol* obj = c->symbols.find(objective);
  if (!obj) return 1;
  out->objective = &obj->pub;
  if (!request_derivatives(*c, options.second_derivatives, out) || c->failed() || !c->generate()) return 1;
  return 0;
}

int where_accepts(CMPGLOBAL* cmp) {
  Compiler* c = compiler_of(cmp);
  if (!c || !c->executor || c->program->where_result < 0) return 1;
  RunOptions options;
  options.put = false;
  options.record_errors = false;
  RunCounts counts;
  c->executor->run(2, options, &counts);
  return c->executor->cells()[c->program->where_result] != 0 ? 1 : 0;
}

std::unique_ptr<Executor> new_executor(CMPGLOBAL* cmp) {
  Compiler* c = compiler_of(cmp);
  if (!c || !c->executor) return nullptr;
  return std::make_unique<Executor>(*c->executor);
}

double* executor_cell(Executor& executor, CMPGLOBAL* cmp, const CMPSYM* sym) {
  Compiler* c = compiler_of(cmp);
  if (!c || !sym || sym->type == '$') return nullptr;
  const int cell = c->symbols.of(sym).cell;
  if (cell < 0 || cell >= executor.program().ncells) return nullptr;
  return executor.cells() + cell;
}

char* executor_text(Executor& executor, CMPGLOBAL* cmp, const CMPSYM* sym) {
  Compiler* c = compiler_of(cmp);
  if (!c || !sym || sym->type != '$') return nullptr;
  const int offset = c->symbols.of(sym).char_offset;
  if (offset < 0 || offset + sym->length > executor.program().nchars) return nullptr;
  return executor.chars() + offset;
}

}  // namespace platform::compiler
