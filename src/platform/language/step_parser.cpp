#include "platform/language/step_parser.h"

#include <algorithm>

#include "host/statement_records.h"
#include "platform/threads/large_stack.h"
#include "platform/language/messages.h"
#include "platform/language/procedure_parser.h"
#include "platform/language/program_parser.h"

namespace platform::language {
namespace {

class StepParser {
 public:
  StepParser(StepParse& out, SegmentHook hook)
      : out_(out), in_(out.tokens, out.segments), program_(in_), procedures_(in_, program_.expressions()) {
    if (hook) in_.on_segment([this, hook](std::size_t segment) { hook(out_, segment); });
  }

  void run() {
    if (!out_.segments.empty()) {
      const Segment& s0 = out_.segments[0];
      out_.has_proc = s0.first > s0.label_begin && out_.tokens[s0.first].is("RUVA") &&
                      out_.tokens[s0.first - 1].is("PROC");
    }
    if (!out_.has_proc && !out_.segments.empty())
      out_.errors.push_back({out_.tokens[0].pos, msg::kProcFirst, {}});
    bool after_failure = false;
    while (!in_.at_end()) {
      try {
        parse_one();
        after_failure = false;
      } catch (const ParseError& e) {
        // After an error, an END that lost its DO is no news; nor is an
        // ELSE right after a failed statement, which may have been its IF
        // (a chain of ELSE IF beyond the nesting limit is one error).
        const bool lost_do = e.message == msg::kEndWithoutDo && !out_.errors.empty();
        const bool lost_if = e.message == msg::kElseWithoutIf && after_failure;
        if (!lost_do && !lost_if) out_.errors.push_back(e);
        in_.skip_statement();
        after_failure = true;
      }
    }
    if (out_.errors.empty()) program_.check_labels(out_.program, &out_.errors);
    std::stable_sort(out_.errors.begin(), out_.errors.end(), [](const ParseError& a, const ParseError& b) {
      return a.pos.line != b.pos.line ? a.pos.line < b.pos.line : a.pos.column < b.pos.column;
    });
    attach_by_and_id();
  }

 private:
  void parse_one() {
    const std::size_t at = in_.position();
    const Segment* seg = in_.segment_at(at);
    const bool starts = seg && seg->label_begin == at;
    const bool proc = starts && &out_.segments[0] == seg && out_.has_proc;
    if (starts && !proc) {
      in_.seek(seg->first);
      const bool programming = program_.at_programming_statement();
      in_.seek(at);
      if (programming) return parse_programming();
    }
    if (starts) in_.seek(seg->first);
    if (!proc && in_.is("RUVA")) in_.fail(msg::kProcFirst, {});
    StmtPtr ast;
    out_.statements.push_back(procedures_.parse(&ast));
    if (ast) out_.program.statements.push_back(std::move(ast));
  }

  void parse_programming() {
    try {
      out_.program.statements.push_back(program_.parse_statement());
    } catch (const ParseError&) {
      // The statement's nodes are gone: so are its pieces and MODEL statements.
      program_.take_pieces();
      program_.take_models();
      throw;
    }
    for (SourcePiece& p : program_.take_pieces()) out_.program_pieces.push_back(std::move(p));
    for (const Stmt* model : program_.take_models()) {
      ProcStatement st;
      st.keyword = "MODEL";
      st.pos = model->pos;
      st.ast = model;
      FieldValue dep;
      dep.type = stfield::kNames;
      dep.names.push_back(model->target->name);
      dep.pos = model->target->pos;
      st.fields[1] = std::move(dep);
      out_.statements.push_back(std::move(st));
    }
  }

  // The BY variables are field 0 and the ID variables field 7 of the
  // procedure statement.
  void attach_by_and_id() {
    if (out_.statements.empty() || out_.statements[0].keyword != "RUVA") return;
    ProcStatement& proc = out_.statements[0];
    for (const ProcStatement& st : out_.statements) {
      if (st.keyword == "BY") proc.fields[0] = st.fields.at(1);
      if (st.keyword == "ID") {
        FieldValue& id = proc.fields[7];
        id.type = stfield::kNames;
        const auto& names = st.fields.at(1).names;
        id.names.insert(id.names.end(), names.begin(), names.end());
      }
    }
  }

  StepParse& out_;
  Cursor in_;
  ProgramParser program_;
  ProcedureParser procedures_;
};

}  // namespace

std::unique_ptr<StepParse> parse_step(std::string text, int first_line, SegmentHook hook) {
  auto out = std::make_unique<StepParse>();
  out->source = std::make_unique<const std::string>(std::move(text));
  LexResult lex = tokenize(*out->source, first_line);
  out->tokens = std::move(lex.tokens);
  for (const LexError& e : lex.errors) out->errors.push_back({e.pos, e.message, {e.text}});
  out->segments = split_segments(out->tokens);
  run_with_stack(kParseStackBytes, [&] { StepParser(*out, std::move(hook)).run(); });
  return out;
}

}  // namespace platform::language
