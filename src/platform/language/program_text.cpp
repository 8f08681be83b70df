#include "platform/language/program_text.h"

#include "platform/threads/large_stack.h"
#include "platform/listing/message_catalog.h"
#include "platform/language/cursor.h"
#include "platform/language/lexer.h"
#include "platform/language/program_parser.h"

namespace platform::language {
namespace {

// The error's catalogue text (its place, then the inserts), as the step's
// parse would log it.
std::string error_text(const ParseError& e) {
  const auto& in = e.inserts;
  const int line = e.pos.line, col = e.pos.column;
  std::string text;
  switch (in.size()) {
    case 0: text = message_text(e.set, e.message, line, col); break;
    case 1: text = message_text(e.set, e.message, line, col, in[0].c_str()); break;
    case 2: text = message_text(e.set, e.message, line, col, in[0].c_str(), in[1].c_str()); break;
    default: text = message_text(e.set, e.message, line, col, in[0].c_str(), in[1].c_str(), in[2].c_str());
  }
  if (text.empty()) text = "error " + std::to_string(e.message) + " at line " + std::to_string(line);
  return text;
}

}  // namespace

bool parse_program_text(std::string_view text, Program* program, std::string* error) {
  LexResult lex = tokenize(text);
  if (!lex.errors.empty()) {
    if (error) *error = error_text({lex.errors[0].pos, lex.errors[0].message, {lex.errors[0].text}});
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
        // A procedure statement has no place in a model program.
        if (!parser.at_programming_statement()) in.fail(msg::kUnsupportedStatement, {in.peek().upper});
        in.seek(at);
        program->statements.push_back(parser.parse_statement());
      }
      std::vector<ParseError> errors;
      parser.check_labels(*program, &errors);
      if (!errors.empty()) throw errors[0];
    } catch (const ParseError& e) {
      if (error) *error = error_text(e);
      ok = false;
    }
  });
  return ok;
}

}  // namespace platform::language
