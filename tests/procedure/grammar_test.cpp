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
  EXPECT_EQ(grammar_terminals().front(), "ENDJB");
  EXPECT_EQ(grammar_terminals().back(), "$$$");
}

namespace {
unsigned char g_block[336];
void grammar_body() {
  std::memcpy(g_block, ruvag(), sizeof g_block);
}
}  // namespace

class GrammarBlock : public HostTest {};

TEST_F(GrammarBlock, ParseControlBlockLayout) {
  ASSERT_EQ(run_as_step(grammar_body), 0);
  std::uint16_t head[4];
  std::memcpy(head, g_block, sizeof head);
  EXPECT_EQ(head[0], 1);
  EXPECT_EQ(head[1], 403);
  EXPECT_EQ(head[2], 402);
  EXPECT_EQ(head[3], 6778);
  std::uint16_t control[3];
  std::memcpy(control, g_block + 128, sizeof control);
  EXPECT_EQ(control[0], 127);
  EXPECT_EQ(control[1], 63);
  EXPECT_EQ(control[2], 523);
  std::int64_t kind;
  std::memcpy(&kind, g_block + 192, sizeof kind);
  EXPECT_EQ(kind, 19);
  // symtbl (word 9): 402 texts, each a length byte and its characters, in
  // 2652 bytes; symndx (word 10) locates each; symmap (word 11) codes 1..402.
  const unsigned char* symtbl;
  const std::uint16_t* symndx;
  const std::uint16_t* symmap;
  const unsigned char* delcost;
  std::memcpy(&symtbl, g_block + 8 * 9, sizeof symtbl);
  std::memcpy(&symndx, g_block + 8 * 10, sizeof symndx);
  std::memcpy(&symmap, g_block + 8 * 11, sizeof symmap);
  std::memcpy(&delcost, g_block + 8 * 12, sizeof delcost);
  std::size_t total = 0;
  for (int i = 0; i < 402; ++i) {
    const unsigned char* t = symtbl + symndx[i];
    EXPECT_EQ(std::string_view(reinterpret_cast<const char*>(t + 1), t[0]), grammar_terminals()[static_cast<std::size_t>(i)]);
    EXPECT_EQ(symmap[i], i + 1);
    total += 1u + t[0];
  }
  EXPECT_EQ(total, 2652u);
  EXPECT_EQ(delcost[1], 50);    // NAMEX
  EXPECT_EQ(delcost[10], 50);   // MISSING
  EXPECT_EQ(delcost[11], 10);   // VLITERAL
  EXPECT_EQ(delcost[401], 127); // $$$
}
