#include "platform/language/program_text.h"

#include "platform/large_stack.h"
#include "platform/language/cursor.h"
#include "platform/language/lexer.h"
#include "platform/language/program_parser.h"

namespace platform::language {
namespace {

std::string error_text(int message, const SourcePos& pos) {
  return "syntax error " + std::to_string(message) + " at line " + std::to_string(pos.line) + " column " +
         std::to_string(pos.column);
}

}  // namespace

bool parse_program_text(std::string_view text, Program* program, std::string* error) {
  LexResult lex = tokenize(text);
  if (!lex.errors.empty()) {
    if (error) *error = error_text(lex.errors[0].message, lex.errors[0].pos);
    return false;
  }
  const std::vector<Segment> segments = split_segments(lex.tokens);
  bool ok = true;
  run_with_stack(kParseStackBytes, [&] {
    Cursor in(lex.tokens, segments);
    ProgramParser parser(in);
    try {
      while (!in.at_end()) {
        const std::size_t at = in.position();
        const Segment* seg = in.segment_at(at);
        if (seg && seg->label_begin == at) in.seek(seg->first);
        if (!parser.at_programming_statement()) in.fail(msg::kProcFirst, {});
        in.seek(at);
        program->statements.push_back(parser.parse_statement());
      }
      std::vector<ParseError> errors;
      parser.check_labels(*program, &errors);
      if (!errors.empty()) throw errors[0];
    } catch (const ParseError& e) {
      if (error) *error = error_text(e.message, e.pos);
      ok = false;
    }
  });
  return ok;
}

}  // namespace platform::language
