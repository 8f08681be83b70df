#include "platform/parse_session.h"

#include <map>

#include "platform/host.h"
#include "platform/language/messages.h"

namespace platform {
namespace {

std::map<const CMPGLOBAL*, std::unique_ptr<ParsedStep>>& registry() {
  static std::map<const CMPGLOBAL*, std::unique_ptr<ParsedStep>> steps;
  return steps;
}

thread_local ParsedStep* active = nullptr;

}  // namespace

ParsedStep* parsed_step(const CMPGLOBAL* cmp) {
  auto it = registry().find(cmp);
  return it == registry().end() ? nullptr : it->second.get();
}

ParsedStep& begin_parsed_step(const CMPGLOBAL* cmp) {
  auto& slot = registry()[cmp];
  slot = std::make_unique<ParsedStep>();
  return *slot;
}

void forget_parsed_step(const CMPGLOBAL* cmp) { registry().erase(cmp); }

ParsedStep* active_parse() { return active; }
void set_active_parse(ParsedStep* step) { active = step; }

std::string statement_name(const language::StepParse& step, std::size_t segment) {
  const language::Segment& seg = step.segments.at(segment);
  const language::Token& t = step.tokens.at(seg.first);
  std::string name = "ASSIGN";
  const bool assignment = t.kind != language::TokenKind::Name || step.tokens.at(seg.first + 1).is("=") ||
                          step.tokens.at(seg.first + 1).is("{") || step.tokens.at(seg.first + 1).is("[");
  if (t.is(";")) name = "NULL";
  else if (!assignment) name = t.upper;
  name.resize(8, ' ');
  return name;
}

void log_parse_errors(const language::StepParse& step) {
  Host& host = Host::current();
  const int set = language::msg::kSet;
  for (const language::ParseError& e : step.errors) {
    const auto& in = e.inserts;
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
