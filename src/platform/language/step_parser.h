// Parses a whole step: the procedure statement, the other procedure
// statements and the programming statements, statement by statement.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/language/ast.h"
#include "platform/language/cursor.h"
#include "platform/language/lexer.h"
#include "platform/language/proc_statement.h"

namespace platform::language {

struct StepParse {
  std::unique_ptr<const std::string> source;  // the text the tokens point into
  std::vector<Token> tokens;
  std::vector<Segment> segments;
  Program program;                            // what the compiler compiles and declares
  std::vector<ProcStatement> statements;      // procedure statements; the PROC statement first
  std::vector<ParseError> errors;             // in source order
  std::vector<SourcePiece> program_pieces;    // the compiled statements' source, in order
  bool has_proc = false;                      // the step begins with PROC RUVA
};

// Called with the parse so far (tokens and segments are complete) and the
// index of each segment (statement) just before the parser reads it, in
// order.
using SegmentHook = std::function<void(const StepParse& step, std::size_t segment)>;

std::unique_ptr<StepParse> parse_step(std::string text, int first_line, SegmentHook hook = {});

}  // namespace platform::language
