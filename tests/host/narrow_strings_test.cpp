// The host-style narrow string routines.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/globals.h"
#include "host/narrow_strings.h"
#include "support/host_fixture.h"

namespace {

TEST(NarrowStrings, JustifyMovesTheTextAndBlanksWhatItLeft) {
  struct Case { std::string text; int type; std::string moved; int retlen, start; };
  const Case cases[] = {
      {"  ab      ", 'C', "    ab    ", 2, 4},
      {"  ab      ", 'r', "        ab", 2, 8},
      {"  ab      ", 'L', "ab        ", 2, 0},
      {"abcd     ", 'c', "  abcd   ", 4, 2},  // an odd surplus: floor((length - t) / 2) on the left
      {"   a b  ", 'X', "   a b  ", 3, 3},    // an unknown type moves nothing
      {"abcdef", 'R', "abcdef", 6, 0},
      {"    ", 'C', "    ", 0, 0},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    int retlen = -1, start = -1;
    wzstjls(text.data(), static_cast<int>(text.size()), c.type, &retlen, &start);
    EXPECT_EQ(text, c.moved) << c.text << " " << static_cast<char>(c.type);
    EXPECT_EQ(retlen, c.retlen) << c.text;
    EXPECT_EQ(start, c.start) << c.text;
  }
  int retlen = 7, start = 7;
  wzstjls(nullptr, 5, 'L', &retlen, &start);
  EXPECT_EQ(retlen, 0);
  EXPECT_EQ(start, 0);
  wzstjls(const_cast<char*>("x"), -2, 'L', &retlen, &start);
  EXPECT_EQ(retlen, 0);
}

TEST(NarrowStrings, SearchesReportZeroBasedPositionsOrMinusOne) {
  EXPECT_EQ(wzstndx("abcabc", 6, "ca", 2), 2);
  EXPECT_EQ(wzstndx("abcabc", 6, "ca", 0), 0);
  EXPECT_EQ(wzstndx("abcabc", 6, nullptr, 2), 0);
  EXPECT_EQ(wzstndx("abcabc", 6, "bc", -1), 1);  // NUL-terminated token
  EXPECT_EQ(wzstndx("abcabc", 3, "ca", 2), -1);  // only the first slen bytes count
  EXPECT_EQ(wzstndx("ab", 2, "abc", 3), -1);

  EXPECT_EQ(wzstpos("hello", 5, 'l'), 2);
  EXPECT_EQ(wzstpos("hello", 2, 'l'), -1);
  EXPECT_EQ(wzstpos("h\xE9llo", 5, 0xE9), 1);
  EXPECT_EQ(wzstpos(nullptr, 5, 'l'), -1);

  EXPECT_EQ(wzstcsp("hello, world", 12, " ,", 2), 5);
  EXPECT_EQ(wzstcsp("hello", 5, "xyz", 3), -1);
  EXPECT_EQ(wzstcsp("hello", 5, "xyz", 0), -1);
  EXPECT_EQ(wzstcsp(nullptr, 5, "h", 1), -1);
}

TEST(NarrowStrings, LengthsIgnoreTrailingBlanks) {
  EXPECT_EQ(wzstlen("abc"), 3);
  EXPECT_EQ(wzstlen(""), 0);
  EXPECT_EQ(wzstlen(nullptr), 0);
  EXPECT_EQ(wzstrip("ab", 0), 0);
  EXPECT_EQ(wzstrip("ab", -3), -3);  // returned unchanged
  // The word-at-a-time scan of long inputs agrees with a byte-by-byte one
  // for every split of text and blanks around the 8-byte steps.
  for (int text = 0; text <= 40; ++text) {
    for (int blanks = 0; blanks <= 40; ++blanks) {
      std::string s = std::string(static_cast<std::size_t>(text), 'x') +
                      std::string(static_cast<std::size_t>(blanks), ' ');
      if (text > 0) s[0] = ' ';  // leading blanks do not count as trailing
      int expected = text;
      if (text == 1) expected = 0;
      EXPECT_EQ(wzstrip(s.data(), static_cast<int>(s.size())), expected) << text << " " << blanks;
    }
  }
  const char fields[] = "AB      ABC ";
  EXPECT_EQ(wzstmax(fields, 4, 4, 3), 3);
  EXPECT_EQ(wzstmax(fields, 4, 4, 2), 2);
  EXPECT_EQ(wzstmax("        ", 4, 4, 2), 0);
  EXPECT_EQ(wzstmax(nullptr, 4, 4, 3), 4);
  EXPECT_EQ(wzstmax(fields, 0, 4, 3), 0);
  // Fields may be spaced further apart than they are wide.
  EXPECT_EQ(wzstmax("A   ##ABCD##", 4, 6, 2), 4);
}

TEST(NarrowStrings, AllEqualTestAndFill) {
  EXPECT_EQ(vzatl(' ', "   ", 3, 1L << 53), 1);
  EXPECT_EQ(vzatl(' ', "  x", 3, 1L << 53), 0);
  EXPECT_EQ(vzatl(' ', "x", -1, 0), 1);
  double d[4] = {1, 2, 3, 4};
  vzfdl(9.5, d, 3);
  vzfdl(0.0, d, 0);
  EXPECT_EQ(std::vector<double>(d, d + 4), (std::vector<double>{9.5, 9.5, 9.5, 4}));
}

using NarrowStringsHost = HostTest;

TEST_F(NarrowStringsHost, CaseBlindCompareUsesTheHostsUpperCaseTable) {
  EXPECT_EQ(wzbcup("Hello", "hELLO", 5), 0);
  EXPECT_EQ(wzbcup("abc", "abd", 3), 'C' - 'D');
  EXPECT_EQ(wzbcup("a[", "A{", 2), '[' - '{');  // only letters fold
  EXPECT_EQ(wzbcup("abc", "xyz", 0), 0);
  // The table comes from control-block word 6: a host that folds 'x' onto
  // 'y' makes them equal.
  auto* table = reinterpret_cast<unsigned char*>(host().control_block()[gcb::kUpcaseTable]);
  constexpr unsigned char kX = 'x';
  const unsigned char saved = table[kX];
  table[kX] = 'Y';
  EXPECT_EQ(wzbcup("x", "y", 1), 0);
  table[kX] = saved;
}

TEST_F(NarrowStringsHost, TranslationByFunctionCode) {
  char out[8] = "#######";
  EXPECT_EQ(wztxxlt(2, "aZ9\xE9", out, 4), 0);
  EXPECT_EQ(std::string(out, 4), "AZ9\xE9");
  EXPECT_EQ(wztxxlt(3, "aZ9", out, 3), 0);
  EXPECT_EQ(std::string(out, 3), "az9");
  EXPECT_EQ(wztxxlt(4, "Mixed", out, 5), 0);
  EXPECT_EQ(std::string(out, 5), "Mixed");
  std::memcpy(out, "unchanged", 7);
  EXPECT_EQ(static_cast<unsigned>(wztxxlt(5, "abc", out, 3)), 0x8000200Au);
  EXPECT_EQ(std::string(out, 7), "unchang");
  char buffer[] = "syn,sem";  // in place, as xinit uses it
  wztxxlt(2, buffer, buffer, 7);
  EXPECT_STREQ(buffer, "SYN,SEM");
}

TEST_F(NarrowStringsHost, NationalLanguageModeUsesTheHostsCaseServices) {
  // Word 13 -> record whose word 3 -> a positive mode byte.
  signed char mode = 1;
  HostWord record[4] = {0, 0, 0, reinterpret_cast<HostWord>(&mode)};
  host().control_block()[gcb::kNlsRecord] = reinterpret_cast<HostWord>(record);
  auto* tables = reinterpret_cast<const unsigned char**>(host().control_block()[gcb::kTranslateTables]);
  const unsigned char* saved = tables[2 + 2];
  unsigned char broken[256] = {};  // the table must not be used in this mode
  tables[2 + 2] = broken;
  char out[4] = {};
  wztxxlt(2, "abc", out, 3);
  EXPECT_EQ(std::string(out, 3), "ABC");
  wztxxlt(3, "ABC", out, 3);
  EXPECT_EQ(std::string(out, 3), "abc");
  for (int code : {0, 1}) {  // the host's encoding services: ASCII passes unchanged
    std::memset(out, 0, sizeof out);
    EXPECT_EQ(wztxxlt(code, "xY1", out, 3), 0);
    EXPECT_EQ(std::string(out, 3), "xY1") << code;
  }
  tables[2 + 2] = saved;
  host().control_block()[gcb::kNlsRecord] = 0;
}

TEST(NarrowStringsWithoutHost, AsciiTablesServe) {
  ASSERT_EQ(v_global_gcb_anchor, nullptr);
  EXPECT_EQ(wzbcup("Hello", "HELLO", 5), 0);
  char out[4] = {};
  EXPECT_EQ(wztxxlt(2, "abc", out, 3), 0);
  EXPECT_EQ(std::string(out, 3), "ABC");
  EXPECT_EQ(wztxxlt(3, "ABC", out, 3), 0);
  EXPECT_EQ(std::string(out, 3), "abc");
  EXPECT_EQ(wztxxlt(4, "AbC", out, 3), 0);
  EXPECT_EQ(std::string(out, 3), "AbC");
  // The grammar's tables never need translating; max and min of ints.
  EXPECT_EQ(wztxdotr(), 0);
  EXPECT_EQ(wztxdods(), 0);
  EXPECT_EQ(max(-3, 2), 2);
  EXPECT_EQ(min(-3, 2), -3);
}

}  // namespace
