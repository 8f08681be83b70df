// Vector 148, parsing: `cmppars` reads the step's statements, calls the
// procedure's callback once per statement and leaves the procedure
// statements as STMT records in the PROCSTR, and hands the program to the
// compiler.
#include <cstring>
#include <map>
#include <vector>

#include "host/parse_print_record.h"
#include "platform/compiler/api.h"
#include "platform/host.h"
#include "platform/language/messages.h"
#include "platform/parse_session.h"
#include "platform/parse_traces.h"
#include "platform/services/service_impls.h"
#include "platform/statement_record_builder.h"

namespace platform::svc {
namespace {

namespace lang = platform::language;

std::int16_t host_token_type(const lang::Token& t) {
  switch (t.kind) {
    case lang::TokenKind::Name: return token_type::kName;
    case lang::TokenKind::Compound: return token_type::kCompound;
    case lang::TokenKind::Number: return token_type::kNumber;
    case lang::TokenKind::Missing: return token_type::kMissing;
    case lang::TokenKind::String: return token_type::kString;
    case lang::TokenKind::Date: return token_type::kDate;
    case lang::TokenKind::Time: return token_type::kTime;
    case lang::TokenKind::DateTime: return token_type::kDateTime;
    case lang::TokenKind::Format: return token_type::kFormat;
    case lang::TokenKind::Operator: return token_type::kPunctuation;
    case lang::TokenKind::End: return token_type::kEndOfStep;
  }
  return token_type::kPunctuation;
}

void build_host_tokens(ParsedStep& step, const lang::StepParse& parse) {
  step.tokens.resize(parse.tokens.size());
  for (std::size_t i = 0; i < parse.tokens.size(); ++i) {
    const lang::Token& t = parse.tokens[i];
    TOKEN& h = step.tokens[i];
    h.type = host_token_type(t);
    h.subtype = t.is(";") ? token_type::kSemicolonSubtype : 0;
    h.spell = t.spell.data();
    h.lng = static_cast<std::uint16_t>(std::min<std::size_t>(t.spell.size(), 0xFFFF));
    h.line = t.pos.line;
    h.column = t.pos.column;
    h.index = static_cast<std::int32_t>(i);
  }
}

// Hands the step's program to the compiler, statement by statement, and
// puts the expression symbols the compiler made for each ESTIMATE and
// CONTRAST statement into that statement's expression field (slot 2).
void compile_program(const language::StepParse& parse, language::Program& program, STMT* head,
                     Pool& pool, CMPGLOBAL* cmp) {
  std::map<const language::Stmt*, std::vector<CMPSYM*>> expressions;
  for (language::StmtPtr& st : program.statements) {
    const language::Stmt* key = st.get();
    const bool is_expression = st->kind == language::StmtKind::Estimate ||
                               st->kind == language::StmtKind::Contrast;
    std::vector<CMPSYM*> symbols = compiler::add_statement(cmp, std::move(st));
    if (is_expression) expressions[key] = std::move(symbols);
  }
  program.statements.clear();
  std::vector<compiler::SourceStatement> sources;
  for (const language::SourcePiece& piece : parse.program_pieces) {
    const language::Token& first = parse.tokens[piece.first];
    sources.push_back({std::string(piece_text(parse, piece)), piece.name, first.pos.line, first.pos.column});
  }
  compiler::set_source_statements(cmp, std::move(sources));
  for (STMT* s = head; s; s = s->next) {
    for (int k = 0; k < s->nfld; ++k) {
      STLIST& f = s->fld[k];
      if (f.type != stfield::kExprs) continue;
      auto it = expressions.find(static_cast<const language::Stmt*>(f.v.f.u.efptr));
      const std::size_t n = it == expressions.end() ? 0 : it->second.size();
      auto** symbols = static_cast<CMPSYM**>(pool.allocate(static_cast<long>(sizeof(CMPSYM*) * (n + 1))));
      if (symbols && n) std::copy(it->second.begin(), it->second.end(), symbols);
      f.v.f.n = symbols ? static_cast<std::int32_t>(n) : 0;
      f.v.f.u.efptr = symbols;
    }
  }
}

// Resets the active parse when the callback or the parser leaves early.
struct ActiveParse {
  explicit ActiveParse(ParsedStep* s) { set_active_parse(s); }
  ~ActiveParse() { set_active_parse(nullptr); }
};

}  // namespace

int cmppars(void* /*grammar*/, PROCSTR* procstr, int, int, int, int (*callback)(CMPGLOBAL*),
            PARSINFO* info, int, CMPGLOBAL* cmp) {
  Host& host = Host::current();
  ParsedStep& step = begin_parsed_step(cmp);
  const StepSource& source = host.step();
  auto hook = [&](const lang::StepParse& parse, std::size_t segment) {
    if (step.tokens.empty()) build_host_tokens(step, parse);
    step.parsing = &parse;
    if (!callback) return;
    step.segment = segment;
    step.current = parse.segments[segment].first;
    ActiveParse active(&step);
    callback(cmp);
  };
  step.parse = lang::parse_step(source.text, source.first_line, hook);
  step.parsing = step.parse.get();
  if (step.tokens.empty()) build_host_tokens(step, *step.parse);
  if (procstr && procstr->proc_syndebug == 1) log_syntax_trace(*step.parse);
  log_parse_errors(*step.parse);
  if (procstr && procstr->proc_semdebug == 1) log_semantic_trace(*step.parse);
  if (info) {
    info->nparsed = static_cast<std::int32_t>(step.parse->segments.size());
    info->totparsed += info->nparsed;
  }
  if (!procstr) return step.parse->errors.empty() ? 0 : 1;
  procstr->head = procstr->last = procstr->current = nullptr;
  procstr->error = 1;
  if (!step.parse->errors.empty()) return 1;
  STMT* head = nullptr;
  const RecordsResult built = build_stmt_records(step.parse->statements, host.task_pool(), host.datasets(), &head);
  // Out of room, the step ends as every shortage does, not as a statement
  // error would.
  if (built == RecordsResult::NoRoom) {
    xmemmsg(take_memory_shortage());
    xexit(kOutOfMemoryCode, 0);
  }
  if (built != RecordsResult::Ok) return 1;
  compile_program(*step.parse, step.parse->program, head, host.task_pool(), cmp);
  procstr->head = head;
  STMT* last = head;
  while (last && last->next) last = last->next;
  procstr->last = last;
  procstr->current = head;
  procstr->error = 0;
  return 0;
}

}  // namespace platform::svc
