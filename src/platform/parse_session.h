// The host side of statement parsing: the step parsed with a compiler block
// (kept for the compiler, which compiles its syntax tree), the host token
// records that the token services hand to the parse callback, and the
// program's source statements.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "host/compiler_types.h"
#include "host/token.h"
#include "platform/language/step_parser.h"

namespace platform {

struct ParsedStep {
  std::unique_ptr<language::StepParse> parse;
  const language::StepParse* parsing = nullptr;  // the parse in progress (the callback's view)
  std::vector<TOKEN> tokens;   // one host token per token; the last is the end of the step
  std::deque<std::string> spells;  // texts the host tokens point at where the source does not serve
  std::size_t current = 0;     // the current token while the callback runs
  std::size_t segment = 0;     // the statement whose callback runs
};

// Starts a new parse for the block, replacing the previous one.
ParsedStep& begin_parsed_step(const CMPGLOBAL* cmp);
// Drops every parse: the host calls it at the end of a step, once the
// step's compilers are purged, so that no parse outlives its step.
void forget_parsed_steps();

// The parse whose callback is running (for the token services), or null.
ParsedStep* active_parse();
void set_active_parse(ParsedStep* step);

// The source text of a compiled statement, its labels included.
std::string_view piece_text(const language::StepParse& step, const language::SourcePiece& piece);

// Logs the step's statement errors (set 305), line and column first.
void log_parse_errors(const language::StepParse& step);

}  // namespace platform
