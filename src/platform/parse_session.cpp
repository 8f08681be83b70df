#include "platform/parse_session.h"

#include <map>

#include "platform/host.h"
#include "platform/language/messages.h"
#include "platform/listing/visible_text.h"

namespace platform {
namespace {

std::map<const CMPGLOBAL*, std::unique_ptr<ParsedStep>>& registry() {
  static std::map<const CMPGLOBAL*, std::unique_ptr<ParsedStep>> steps;
  return steps;
}

thread_local ParsedStep* active = nullptr;

}  // namespace

ParsedStep& begin_parsed_step(const CMPGLOBAL* cmp) {
  auto& slot = registry()[cmp];
  slot = std::make_unique<ParsedStep>();
  return *slot;
}

void forget_parsed_steps() { registry().clear(); }

ParsedStep* active_parse() { return active; }
void set_active_parse(ParsedStep* step) { active = step; }

std::string_view piece_text(const language::StepParse& step, const language::SourcePiece& piece) {
  if (piece.end <= piece.begin) return {};
  const language::Token& a = step.tokens.at(piece.begin);
  const language::Token& b = step.tokens.at(piece.end - 1);
  return std::string_view(a.spell.data(), static_cast<std::size_t>(b.spell.data() + b.spell.size() - a.spell.data()));
}

void log_parse_errors(const language::StepParse& step) {
  Host& host = Host::current();
  for (const language::ParseError& e : step.errors) {
    const int set = e.set;
    // The inserts travel as NUL-terminated text: a NUL byte in the program
    // would end one there and hide what is wrong, so they are shown first.
    std::vector<std::string> in;
    for (const std::string& insert : e.inserts) in.push_back(visible_text(insert));
    const int line = e.pos.line, col = e.pos.column;
    switch (in.size()) {
      case 0: host.log_message(set, e.message, line, col); break;
      case 1: host.log_message(set, e.message, line, col, in[0].c_str()); break;
      case 2: host.log_message(set, e.message, line, col, in[0].c_str(), in[1].c_str()); break;
      default: host.log_message(set, e.message, line, col, in[0].c_str(), in[1].c_str(), in[2].c_str());
    }
  }
}

}  // namespace platform
