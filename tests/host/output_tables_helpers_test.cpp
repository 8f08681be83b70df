// The helpers of the output-table library: quoting, the balanced tree and
// the handler of failing output requests.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>

#include "host/output_tables.h"
#include "support/host_fixture.h"

namespace {

std::string quoted(const char* text, int quote, int sublen = 0, int capacity = 64) {
  char buffer[64] = {};
  std::strcpy(buffer, text);
  const int len = static_cast<int>(std::strlen(text));
  const int n = quote_me(buffer, len, quote, sublen, capacity);
  if (n < 0) return "<no room>";
  const int total = n + (sublen && sublen != len ? len - sublen : 0);
  return std::string(buffer, static_cast<std::size_t>(total)) + "|" + std::to_string(n);
}

TEST(QuoteMeTest, QuotesDoublesTheQuoteAndProtectsMacroCharacters) {
  EXPECT_EQ(quoted("abc", 1), "\"abc\"|5");
  EXPECT_EQ(quoted("a\"b", 1), "\"a\"\"b\"|6");
  EXPECT_EQ(quoted("it's", 2), "'it''s'|7");
  EXPECT_EQ(quoted("x", 3), "'x'n|4");
  EXPECT_EQ(quoted("5%", 1), "%nrstr(\"5%%\")|13");
  EXPECT_EQ(quoted("a&(b)", 1), "%nrstr(\"a&%(b%)\")|17");
  // Only the first two characters are quoted; the rest follows the quote.
  EXPECT_EQ(quoted("abcd", 2, 2), "'ab'cd|4");
}

TEST(QuoteMeTest, TextThatDoesNotFitIsLeftAsItWas) {
  char buffer[8] = "abcdef";
  EXPECT_EQ(quote_me(buffer, 6, 1, 0, 7), -1);
  EXPECT_STREQ(buffer, "abcdef");
  EXPECT_EQ(quote_me(buffer, 6, 1, 0, 8), 8);
  EXPECT_EQ(std::string(buffer, 8), "\"abcdef\"");
  EXPECT_EQ(quote_me(buffer, 6, 1, 9, 8), -1);  // a part longer than the text
}

struct Node {
  TREE tree;
  std::uint32_t key;
  char name[8];
};

int height(const TREE* t, bool* balanced) {
  if (!t) return 0;
  const int l = height(t->llink, balanced), r = height(t->rlink, balanced);
  if (std::abs(l - r) > 1 || t->bal != r - l) *balanced = false;
  return 1 + std::max(l, r);
}

void in_order(const TREE* t, std::vector<std::uint32_t>* out) {
  if (!t) return;
  in_order(t->llink, out);
  out->push_back(reinterpret_cast<const Node*>(t)->key);
  in_order(t->rlink, out);
}

TEST(BalancedTreeTest, RandomInsertionsStayBalancedAndOrdered) {
  std::mt19937 rng(7);
  std::vector<Node> nodes(2000);
  std::set<std::uint32_t> reference;
  TREE* root = nullptr;
  const int off = offsetof(Node, key);
  for (Node& n : nodes) {
    n.key = rng() % 5000;
    TREE* got = yolbdf(&root, &n.tree, 0, off, nullptr);
    const bool fresh = reference.insert(n.key).second;
    EXPECT_EQ(got == &n.tree, fresh);
    if (!fresh) {
      EXPECT_EQ(reinterpret_cast<Node*>(got)->key, n.key);
    }
  }
  bool balanced = true;
  height(root, &balanced);
  EXPECT_TRUE(balanced);
  std::vector<std::uint32_t> keys;
  in_order(root, &keys);
  EXPECT_EQ(keys, std::vector<std::uint32_t>(reference.begin(), reference.end()));
  Node probe{};
  probe.key = *reference.begin();
  EXPECT_EQ(reinterpret_cast<Node*>(yolfdf(&root, &probe.tree, 0, off, nullptr))->key, probe.key);
  probe.key = 99999;
  EXPECT_EQ(yolfdf(&root, &probe.tree, 0, off, nullptr), nullptr);
}

TEST(BalancedTreeTest, ByteKeysEmptyTreeAndDuplicates) {
  TREE* root = nullptr;
  Node probe{};
  std::strcpy(probe.name, "b");
  const int off = offsetof(Node, name), len = 8;
  EXPECT_EQ(yolfdf(&root, &probe.tree, len, off, nullptr), nullptr);
  Node a{}, b{}, c{}, b2{};
  std::strcpy(a.name, "a");
  std::strcpy(b.name, "b");
  std::strcpy(c.name, "c");
  std::strcpy(b2.name, "b");
  for (Node* n : {&c, &b, &a}) EXPECT_EQ(yolbdf(&root, &n->tree, len, off, nullptr), &n->tree);
  EXPECT_EQ(root, &b.tree);  // the single rotation made b the root
  EXPECT_EQ(yolbdf(&root, &b2.tree, len, off, nullptr), &b.tree);
  EXPECT_EQ(root, &b.tree);
  EXPECT_EQ(yolfdf(&root, &probe.tree, len, off, nullptr), &b.tree);
  EXPECT_EQ(yolbdf2(&root, &probe.tree, len, off, nullptr), nullptr);
}

using ZyolexitTest = HostTest;

TEST_F(ZyolexitTest, EndsTheStepWith120ExceptForFacility63Number53) {
  static bool returned;
  returned = false;
  EXPECT_EQ(run_as_step([] {
              zyolexit(output_status(52));
              returned = true;
            }),
            120);
  EXPECT_FALSE(returned);
  EXPECT_EQ(run_as_step([] {
              zyolexit(output_status(53));
              returned = true;
            }),
            0);
  EXPECT_TRUE(returned);
  EXPECT_NE(log_text().find("NOTE: An output request was skipped"), std::string::npos);
  EXPECT_NE(log_text().find("ERROR: An output request lacked a parameter"), std::string::npos);
}

}  // namespace
