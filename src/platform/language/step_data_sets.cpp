#include "platform/language/step_data_sets.h"

#include "platform/language/cursor.h"
#include "platform/language/lexer.h"
#include "platform/language/option_table.h"
#include "platform/language/procedure_parser.h"

namespace platform::language {
namespace {

// The options of the statement that begins with `keyword`; None for a
// statement that takes no data set or is not known.
OptionContext statement_options(const std::string& keyword) {
  const std::string statement = canonical_statement(keyword);
  if (statement == "RUVA") return OptionContext::Proc;
  if (statement == "PARMS") return OptionContext::Parms;
  if (statement == "OUTPUT") return OptionContext::Output;
  if (statement == "PROFILE") return OptionContext::Profile;
  if (statement == "BOOTSTRAP") return OptionContext::Bootstrap;
  return OptionContext::None;
}

// The data-set option `word` names in `context`, else in any statement
// (DATA= reads in PROC RUVA and PARMS, writes in BOOTSTRAP); null when none.
const OptionSpec* data_set_option(const std::string& word, OptionContext context) {
  const OptionSpec* any = nullptr;
  for (const OptionSpec& option : option_table()) {
    if (option.kind != OptionKind::Dataset || !matches_keyword(option.keywords, word)) continue;
    if (option.context == context) return &option;
    if (!any) any = &option;
  }
  return any;
}

}  // namespace

std::vector<StepDataSet> step_data_sets(std::string_view text, int first_line) {
  const LexResult lex = tokenize(text, first_line);
  const std::vector<Token>& tokens = lex.tokens;
  std::vector<StepDataSet> found;
  for (const Segment& segment : split_segments(tokens)) {
    const OptionContext context = statement_options(tokens[segment.first].upper);
    for (std::size_t i = segment.first; i + 2 < segment.semicolon; ++i) {
      const Token &word = tokens[i], &value = tokens[i + 2];
      if (!word.is_name() || !tokens[i + 1].is("=")) continue;
      if (value.kind != TokenKind::Name && value.kind != TokenKind::Compound) continue;
      if (const OptionSpec* option = data_set_option(word.upper, context))
        found.push_back({std::string(value.spell), option->use == 2});
    }
  }
  return found;
}

}  // namespace platform::language
