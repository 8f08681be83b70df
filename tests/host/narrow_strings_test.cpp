// The host-style narrow string routines.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/globals.h"
#include "host/narrow_strings.h"
#include "support/host_fixture.h"

namespace {

struct Justified {
  std::string text;
  int retlen, start;
};

Justified justify(std::string text, int type) {
  Justified j{};
  wzstjls(text.data(), static_cast<int>(text.size()), type, &j.retlen, &j.start);
  j.text = text;
  return j;
}

TEST(NarrowStrings, JustifyMovesTheTextAndBlanksWhatItLeft) {
  const std::string ab = "  ab      ";
  Justified c = justify(ab, 'C');
  EXPECT_EQ(c.text, "    ab    ");
  EXPECT_EQ(c.retlen, 2);
  EXPECT_EQ(c.start, 4);
  EXPECT_EQ(justify(ab, 'R').text, "        ab");
  EXPECT_EQ(justify(ab, 'r').start, 8);
  EXPECT_EQ(justify(ab, 'L').text, "ab        ");
  EXPECT_EQ(justify(ab, 'l').start, 0);
  // An odd surplus puts the extra blank on the left: floor((length - t) / 2).
  EXPECT_EQ(justify("abc      ", 'c').text, "   abc   ");
  EXPECT_EQ(justify("abcd     ", 'C').text, "  abcd   ");
  // An unknown type leaves the text where it is and reports where it starts.
  Justified x = justify("   a b  ", 'X');
  EXPECT_EQ(x.text, "   a b  ");
  EXPECT_EQ(x.retlen, 3);
  EXPECT_EQ(x.start, 3);
  // Text that fills the field and blank or empty fields.
  EXPECT_EQ(justify("abcdef", 'R').text, "abcdef");
  Justified blank = justify("    ", 'C');
  EXPECT_EQ(blank.retlen, 0);
  EXPECT_EQ(blank.start, 0);
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
  EXPECT_EQ(wzstndx("abc", 0, "a", 1), -1);
  EXPECT_EQ(wzstndx("ab", 2, "abc", 3), -1);
  EXPECT_EQ(wzstndx("abcabc", 6, "abc", 3), 0);
  EXPECT_EQ(wzstndx("abcabc", 6, "cab", 3), 2);

  EXPECT_EQ(wzstpos("hello", 5, 'l'), 2);
  EXPECT_EQ(wzstpos("hello", 2, 'l'), -1);
  EXPECT_EQ(wzstpos("h\xE9llo", 5, 0xE9), 1);
  EXPECT_EQ(wzstpos(nullptr, 5, 'l'), -1);
  EXPECT_EQ(wzstpos("hello", 0, 'h'), -1);

  EXPECT_EQ(wzstcsp("hello, world", 12, " ,", 2), 5);
  EXPECT_EQ(wzstcsp("hello", 5, "xyz", 3), -1);
  EXPECT_EQ(wzstcsp("hello", 5, "xyz", 0), -1);
  EXPECT_EQ(wzstcsp(nullptr, 5, "h", 1), -1);
  EXPECT_EQ(wzstcsp("hello", 0, "h", 1), -1);
}

TEST(NarrowStrings, LengthsIgnoreTrailingBlanks) {
  EXPECT_EQ(wzstlen("abc"), 3);
  EXPECT_EQ(wzstlen(""), 0);
  EXPECT_EQ(wzstlen(nullptr), 0);
  EXPECT_EQ(wzstrip("ab  ", 4), 2);
  EXPECT_EQ(wzstrip("    ", 4), 0);
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
  EXPECT_EQ(wzstmax(fields, 4, 4, 0), 0);
  EXPECT_EQ(wzstmax(nullptr, 4, 4, 3), 4);
  EXPECT_EQ(wzstmax(fields, 0, 4, 3), 0);
  // Fields may be spaced further apart than they are wide.
  EXPECT_EQ(wzstmax("A   ##ABCD##", 4, 6, 2), 4);
}

TEST(NarrowStrings, AllEqualTestAndFill) {
  EXPECT_EQ(vzatl(' ', "   ", 3, 1L << 53), 1);
  EXPECT_EQ(vzatl(' ', "  x", 3, 1L << 53), 0);
  EXPECT_EQ(vzatl(' ', "x", 0, 0), 1);
  EXPECT_EQ(vzatl(' ', "x", -1, 0), 1);
  double d[4] = {1, 2, 3, 4};
  vzfdl(9.5, d, 3);
  EXPECT_EQ(d[0], 9.5);
  EXPECT_EQ(d[2], 9.5);
  EXPECT_EQ(d[3], 4.0);
  vzfdl(0.0, d, 0);
  EXPECT_EQ(d[0], 9.5);
}

using NarrowStringsHost = HostTest;

TEST_F(NarrowStringsHost, CaseBlindCompareUsesTheHostsUpperCaseTable) {
  EXPECT_EQ(wzbcup("Hello", "hELLO", 5), 0);
  EXPECT_EQ(wzbcup("abc", "abd", 3), 'C' - 'D');
  EXPECT_EQ(wzbcup("abd", "ABC", 3), 'D' - 'C');
  EXPECT_EQ(wzbcup("a[", "A{", 2), '[' - '{');  // only letters fold
  EXPECT_EQ(wzbcup("abc", "xyz", 0), 0);
  EXPECT_EQ(wzbcup("abc", "xyz", -1), 0);
  // The table comes from control-block word 6: a host that folds 'x' onto
  // 'y' makes them equal.
  auto* table = reinterpret_cast<unsigned char*>(host().control_block()[gcb::kUpcaseTable]);
  const unsigned char saved = table['x'];
  table['x'] = 'Y';
  EXPECT_EQ(wzbcup("x", "y", 1), 0);
  table['x'] = saved;
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
  // In place, as xinit uses it.
  char buffer[] = "syn,sem";
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
  wztxxlt(0, "xyz", out, 3);
  EXPECT_EQ(std::string(out, 3), "xyz");
  tables[2 + 2] = saved;
  host().control_block()[gcb::kNlsRecord] = 0;
}

TEST(NarrowStringsWithoutHost, AsciiTablesServe) {
  ASSERT_EQ(v_global_gcb_anchor, nullptr);
  EXPECT_EQ(wzbcup("Hello", "HELLO", 5), 0);
  char out[4] = {};
  EXPECT_EQ(wztxxlt(2, "abc", out, 3), 0);
  EXPECT_EQ(std::string(out, 3), "ABC");
  EXPECT_EQ(wztxxlt(0, "a\xE9", out, 2), 0);
  EXPECT_EQ(std::string(out, 2), "a\xE9");
}

}  // namespace
