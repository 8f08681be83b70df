// The grammar's terminal list and parse-control block, and the agreement
// of the option table with the grammar's keywords.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "host/services.h"
#include "platform/language/option_table.h"
#include "procedure/grammar_terminals.h"
#include "procedure/statement_parsing.h"
#include "support/host_fixture.h"

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

namespace {
unsigned char g_block[336];
void grammar_body() {
  std::memcpy(g_block, ruvag(), sizeof g_block);
}
}  // namespace

class GrammarBlock : public HostTest {};

// The terminal tables of the block agree with the terminal list: each text
// at its offset (a length byte, then the characters) with codes 1..n.
TEST_F(GrammarBlock, TerminalTablesFollowTheTerminalList) {
  ASSERT_EQ(run_as_step(grammar_body), 0);
  std::uint16_t count;
  std::memcpy(&count, g_block + 4, sizeof count);
  ASSERT_EQ(count, grammar_terminals().size());
  const unsigned char* symtbl;
  const std::uint16_t* symndx;
  const std::uint16_t* symmap;
  std::memcpy(&symtbl, g_block + 8 * 9, sizeof symtbl);
  std::memcpy(&symndx, g_block + 8 * 10, sizeof symndx);
  std::memcpy(&symmap, g_block + 8 * 11, sizeof symmap);
  for (std::size_t i = 0; i < count; ++i) {
    const unsigned char* t = symtbl + symndx[i];
    EXPECT_EQ(std::string_view(reinterpret_cast<const char*>(t + 1), t[0]), grammar_terminals()[i]);
    EXPECT_EQ(symmap[i], i + 1);
  }
}
