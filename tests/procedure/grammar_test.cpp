// The agreement of the option table with the grammar's keywords.
#include <gtest/gtest.h>

#include <set>

#include "platform/language/option_table.h"
#include "procedure/grammar_terminals.h"

namespace lang = platform::language;

TEST(Grammar, EveryOptionKeywordIsATerminalOfTheGrammar) {
  std::set<std::string_view> terminals(grammar_terminals().begin(), grammar_terminals().end());
  for (const lang::OptionSpec& desc : lang::option_table()) {
    std::string_view all(desc.keywords);
    while (!all.empty()) {
      const std::size_t bar = all.find('|');
      const std::string_view kw = all.substr(0, bar);
      EXPECT_TRUE(terminals.count(kw)) << kw;
      all = bar == std::string_view::npos ? std::string_view() : all.substr(bar + 1);
    }
  }
}
