// The parser's traces that the DEBUG system option asks for: "SYN" logs
// each statement as the parser read it, token by token; "SEM" logs what
// each procedure statement was read as (its option bits and fields).
#pragma once

#include "platform/language/step_parser.h"

namespace platform {

void log_syntax_trace(const language::StepParse& step);
void log_semantic_trace(const language::StepParse& step);

}  // namespace platform
