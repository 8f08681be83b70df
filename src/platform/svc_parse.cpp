// Vector 148, parsing: `cmppars` reads the step's statements, calls the
// procedure's callback once per statement and leaves the procedure
// statements as STMT records in the PROCSTR; `cmplsrc` walks the source of
// the program's statements.
#include <cstring>

#include "host/procstr.h"
#include "platform/host.h"
#include "platform/language/messages.h"
#include "platform/parse_session.h"
#include "platform/service_impls.h"
#include "platform/stmt_records.h"

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
  log_parse_errors(*step.parse);
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
  if (built == RecordsResult::NoRoom) xmemmsg(take_memory_shortage());
  if (built != RecordsResult::Ok) return 1;
  procstr->head = head;
  STMT* last = head;
  while (last && last->next) last = last->next;
  procstr->last = last;
  procstr->current = head;
  procstr->error = 0;
  return 0;
}

// The program's compiled statements in order: the cursor starts at 0 and
// holds the number (from 1) of the statement last returned.
int cmplsrc(CMPGLOBAL* cmp, long* cursor, int, int, CMPSRC* source, int) {
  ParsedStep* step = parsed_step(cmp);
  if (!step || !cursor || *cursor < 0) return 0;
  const auto& pieces = step->parse->program_pieces;
  if (static_cast<std::size_t>(*cursor) >= pieces.size()) return 0;
  const lang::SourcePiece& piece = pieces[static_cast<std::size_t>(*cursor)];
  ++*cursor;
  if (source) {
    std::string name = piece.name;
    name.resize(sizeof source->name, ' ');
    std::memcpy(source->name, name.data(), sizeof source->name);
    const std::string_view text = piece_text(*step->parse, piece);
    source->text = text.data();
    source->length = static_cast<std::int32_t>(text.size());
  }
  return 1;
}

}  // namespace platform::svc
