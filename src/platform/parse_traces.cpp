#include "platform/parse_traces.h"

#include <string>

#include "host/statement_records.h"
#include "platform/host.h"
#include "platform/macro_variables.h"
#include "platform/listing/visible_text.h"

namespace platform {
namespace {

std::string where(const language::SourcePos& pos) {
  return "line " + std::to_string(pos.line) + ", column " + std::to_string(pos.column);
}

std::string joined(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& w : words) text += (text.empty() ? "" : " ") + w;
  return text;
}

std::string numbers_text(const std::vector<double>& numbers) {
  std::string text;
  for (double x : numbers) text += (text.empty() ? "" : " ") + macro_number_text(x);
  return text;
}

// One field as "k type value", the type named as the statement record names it.
std::string field_text(int k, const language::FieldValue& f) {
  const std::string head = "field " + std::to_string(k) + " ";
  switch (f.type) {
    case stfield::kNumber: return head + "number " + macro_number_text(f.number);
    case stfield::kKeyword: return head + "keyword " + f.keyword;
    case stfield::kDataset:
      return head + "data set " + f.text + (f.mode == 2 ? " (written)" : " (read)");
    case stfield::kNames: return head + "names (" + joined(f.names) + ")";
    case stfield::kText: return head + "text \"" + visible_text(f.text) + "\"";
    case stfield::kNumbers: return head + "numbers (" + numbers_text(f.numbers) + ")";
    case stfield::kIntegers: {
      std::vector<double> as_doubles(f.integers.begin(), f.integers.end());
      return head + "integers (" + numbers_text(as_doubles) + ")";
    }
    case stfield::kExprs: return head + std::to_string(f.count) + " expressions";
    default: return head + "of type " + std::string(1, f.type);
  }
}

}  // namespace

void log_syntax_trace(const language::StepParse& step) {
  Log& log = Host::current().log();
  for (const language::Segment& seg : step.segments) {
    if (seg.label_begin >= step.tokens.size()) continue;
    std::string text = "SYN: " + where(step.tokens[seg.label_begin].pos) + ":";
    for (std::size_t i = seg.label_begin; i <= seg.semicolon && i < step.tokens.size(); ++i)
      if (step.tokens[i].kind != language::TokenKind::End)
        text += " " + visible_text(step.tokens[i].spell);
    log.line(text);
  }
}

void log_semantic_trace(const language::StepParse& step) {
  Log& log = Host::current().log();
  for (const language::ProcStatement& st : step.statements) {
    std::string options;
    for (std::size_t k = 0; k < st.bits.size(); ++k)
      if (st.bits[k]) options += (options.empty() ? "" : " ") + std::to_string(k);
    std::string text = "SEM: " + st.keyword + " at " + where(st.pos) + ": options (" + options + ")";
    for (const auto& [k, f] : st.fields) text += "; " + field_text(k, f);
    log.line(text);
  }
}

}  // namespace platform
