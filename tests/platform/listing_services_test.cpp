// The listing print family: formatted writes with the host's conversions,
// positions, clipping at the line's end, centring and pages.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "host/listing_titles.h"
#include "host/missing.h"
#include "host/services.h"
#include "platform/listing/log.h"
#include "support/listing_fixture.h"

namespace {

using ListingServicesTest = ListingTest;

TEST_F(ListingServicesTest, TabsFieldsAndDecimalCodes) {
  set("NOCENTER");
  print([] {
    xps("%-1.*s", 6, "ab");                     // left-aligned in exactly 6
    xps("%+*t%-1.*s", 2, -5, "cd");             // skip 2, right-aligned in 5
    xps("%15t|");                               // to column 15
    xps("%+*t%*.$f", 1, 8, 3L, 2.0 / 3);        // decimal code 3 in 8
    xps("%*.$f", 6, 99L, missing_value());      // the missing mark
    xps(" %d %s %ld", -4, "x", 5L);
    xpoflsh();
    xps("%*s|", 3, "abcdef");                   // counted text: at most 3 bytes
    xps("%.89f|", 0.25);                        // a precision over 32 is a code
    xps("%6.2f|%g|", -0.0, -0.0);               // zero has no sign
    xpoflsh();
  });
  ASSERT_EQ(lines().size(), 2u);
  EXPECT_EQ(lines()[0], "ab         cd |    0.667     . -4 x 5");
  EXPECT_EQ(lines()[1], "abc|0.25|  0.00|0|");
}

// The rest of printf: a negative width from the arguments aligns left;
// long integers, percent signs, characters and pointers; an unknown
// conversion is written as it stands, and a '%' that ends the format is
// not written.
char g_pointer_text[32];
TEST_F(ListingServicesTest, TheOtherConversions) {
  set("NOCENTER");
  std::snprintf(g_pointer_text, sizeof g_pointer_text, "%p", static_cast<void*>(g_pointer_text));
  print([] {
    xps("%*d|%lld|%%|%c|%p|%y|%", -4, 7, 1234567890123LL, 'z', static_cast<void*>(g_pointer_text));
    xpoflsh();
  });
  ASSERT_EQ(lines().size(), 1u);
  EXPECT_EQ(lines()[0], std::string("7   |1234567890123|%|z|") + g_pointer_text + "|%y|");
}

TEST_F(ListingServicesTest, WritesNeverPassTheLinesEnd) {
  set("LINESIZE=64");
  set("NOCENTER");
  static std::string long_text(300, 'z');
  print([] {
    xps("%s", long_text.c_str());
    xpfmtc(0, long_text.c_str(), 300, 60);
    xpfmtcr(0, '-', 1, 500, 1);
    xpfmtcv(0, "mid", 3, 9, 0);
    xpoflsh();
    LINESTR* l = output_line();
    l->lmargin = 11;                            // the line ends 10 columns sooner
    xps("%s", long_text.c_str());
    xpoflsh();
    l->lmargin = 1;
  });
  ASSERT_EQ(lines().size(), 2u);
  EXPECT_EQ(lines()[0], std::string(64, '-'));
  EXPECT_EQ(lines()[1], std::string(10, ' ') + std::string(54, 'z'));
}

TEST_F(ListingServicesTest, CentringFormattedLinesAndMessageText) {
  set("LINESIZE=64");
  print([] {
    xpsout("%a%s", "centred");
    xpsout("%s", "still centred");
    xpsout("%s", "Z\xC3\xBCrich");
    output_line()->autocent = 0;
    xpsout("%s", "left");
    xpmprn(1, 14, 8);
    xpm(1, 14, 0);
    xpoflsh();
    xpmprn(235, 634);  // longer than the line: it goes on over the next, whole
  });
  ASSERT_EQ(lines().size(), 8u);
  EXPECT_EQ(lines()[0], std::string(28, ' ') + "centred");        // margin (64 - 7) / 2 + 1
  EXPECT_EQ(lines()[1], std::string(25, ' ') + "still centred");
  EXPECT_EQ(lines()[2], std::string(29, ' ') + "Z\xC3\xBCrich");   // six columns in seven bytes
  EXPECT_EQ(lines()[3], "left");
  EXPECT_EQ(lines()[4], "NOTE: The step ended with return code 8.");
  EXPECT_EQ(lines()[5], "The step ended with return code 0.");
  EXPECT_EQ(lines()[6], "NOTE: The line-search step failed; the Marquardt method is used");
  EXPECT_EQ(lines()[7], "from now on.");
}

TEST_F(ListingServicesTest, PagesStartWithAFormFeedAndKeepLinesTogether) {
  set("PAGESIZE=15");
  set("NOCENTER");
  print([] {
    for (int i = 0; i < 10; ++i) xpsout("line %d", i);
    xpsout("%1.*n", 6);   // 5 lines are left: a new page
    xpsout("after");
    xppage();
    xppage();             // an empty page is not printed
    xpskip(2);
    xpsout("end");
  });
  const auto l = lines();
  ASSERT_EQ(l.size(), 14u);
  EXPECT_EQ(l[10], "\fafter");
  EXPECT_EQ(l[11], "\f");
  EXPECT_EQ(l[13], "end");
}

TEST_F(ListingServicesTest, StringFieldsForFixedWidthBuffers) {
  static char buffer[12];
  static int written;
  print([] {
    std::memset(buffer, '#', sizeof buffer);
    written = xpsstr(buffer, 10, "%*s", 4, "namexyz");
  });
  EXPECT_EQ(std::string(buffer, 12), "name      ##");
  EXPECT_EQ(written, 4);
  static char digits[8];
  print([] {
    xpils(123L, 5, digits);
    xpis(-7, 3, digits + 5);
  });
  EXPECT_EQ(std::string(digits, 8), "  123 -7");
}

// A message of several lines keeps its continuation lines under its text.
TEST(LogTest, ContinuationLinesAreIndentedUnderTheText) {
  std::ostringstream out;
  platform::Log log(out);
  log.warning("first\nsecond");
  EXPECT_EQ(out.str(), "WARNING: first\n         second\n");
  EXPECT_EQ(log.warnings(), 1);
}

// The README and the guide give the length past which a log line is
// shortened in the middle: a line of that many bytes is whole, one of a
// byte more is not.
TEST(LogTest, LinesPastTheLengthTheDocumentsGiveAreShortened) {
  for (const char* document : {"README.md", "docs/guide.md"}) {
    std::ifstream in(std::string(RUVA_SOURCE_DIR) + "/" + document);
    std::stringstream read;
    read << in.rdbuf();
    const std::string text = read.str(), phrase = "Log lines longer than ";
    const std::size_t at = text.find(phrase);
    ASSERT_NE(at, std::string::npos) << document;
    std::size_t limit = 0;  // as written, 8,192
    for (std::size_t i = at + phrase.size(); std::isdigit(static_cast<unsigned char>(text[i])) || text[i] == ','; ++i)
      if (text[i] != ',') limit = 10 * limit + static_cast<std::size_t>(text[i] - '0');
    std::ostringstream out;
    platform::Log log(out);
    log.note(std::string(limit, 'x'));
    EXPECT_EQ(out.str(), "NOTE: " + std::string(limit, 'x') + "\n") << document;
    out.str("");
    log.note(std::string(limit + 1, 'x'));
    EXPECT_NE(out.str().find("x ... x"), std::string::npos) << document << " gives " << limit;
  }
}

}  // namespace
