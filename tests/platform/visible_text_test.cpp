// What reaches a terminal through the listing and the log: control bytes
// and bytes that are not UTF-8 shown as \xHH, UTF-8 text unchanged, and the
// listing's columns and BY line as wide, in terminal columns, as the text
// they show.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/listing/print_file.h"
#include "platform/listing/visible_text.h"
#include "platform/options.h"
#include "platform/output/output_render.h"

namespace platform {
namespace {

using namespace std::string_literals;

TEST(VisibleText, ControlsAndBadBytesAreEscapedUtf8PassesUnchanged) {
  const struct {
    std::string in, shown;
  } cases[] = {
      {"a\tb\nc ~", "a\tb\nc ~"},                      // tab, newline, printable ASCII
      {"\x1B[2J\a\r\x7F", "\\x1B[2J\\x07\\x0D\\x7F"},  // ESC, BEL, CR, DEL
      {"19\0"s, "19\\x00"},                            // NUL
      {"caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x98\x80 \xEF\xBF\xBD",
       "caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x98\x80 \xEF\xBF\xBD"},  // 2, 3, 4 bytes, U+FFFD itself
      {"\xC2\x9B", "\\xC2\\x9B"},                      // U+009B, the 8-bit CSI
      {"\xFF\x80x", "\\xFF\\x80x"},                    // no lead byte, a stray continuation
      {"\xC0\xAF\xED\xA0\x80", "\\xC0\\xAF\\xED\\xA0\\x80"},  // overlong '/', a surrogate
      {"ab\xE6\x97", "ab\\xE6\\x97"},                  // a character cut short
      {"\xE2\x80\xAE" "cba\xE2\x81\xA6", "\\xE2\\x80\\xAEcba\\xE2\\x81\\xA6"},  // right-to-left override, isolate
      {"\xD8\x9C\xE2\x80\x8B\xEF\xBB\xBF", "\\xD8\\x9C\\xE2\\x80\\x8B\\xEF\\xBB\\xBF"},  // U+061C, U+200B, U+FEFF
      {"1\xC2\xA0" "000", "1\xC2\xA0" "000"},         // a no-break space shows as it is ...
  };
  for (const auto& c : cases) {
    EXPECT_EQ(visible_text(c.in), c.shown) << c.shown;
    EXPECT_EQ(visible_text(c.shown), c.shown) << "showing twice changes nothing";
  }
  EXPECT_EQ(quoted_value_text("1\xC2\xA0" "000\x01"), "1\\xC2\\xA0" "000\\x01");  // ... but in a quoted value
  // A limit keeps whole characters and whole escapes only.
  EXPECT_EQ(visible_text("ab\x1B", 5), "ab");
  EXPECT_EQ(visible_text("ab\xE6\x97\xA5", 4), "ab");
  EXPECT_EQ(visible_text("ab\x1B" "c", 6), "ab\\x1B");
}

TEST(VisibleText, DisplayWidthCountsTerminalColumns) {
  const struct {
    std::string text;
    std::size_t width;
  } cases[] = {
      {"", 0},
      {"Estimate", 8},
      {"Montr\xC3\xA9" "al Z\xC3\xBCrich", 15},                   // precomposed accents: one column each
      {"e\xCC\x81te\xCC\x81 a\xE2\x80\x8B", 17},  // U+0301 combining acute; U+200B shown as 3 escapes
      {"\xE6\x97\xA5\xE6\x9C\xAC x \xF0\x9F\x98\x80", 9},    // CJK, emoji: two columns each
      {"\xF0\x9F\x9A\x80\xE2\x8C\x9A\xE2\x8C\x98", 5},  // rocket, watch: two columns; U+2318 one
      {"a\x1B", 5},                                               // ESC shows as \x1B ...
      {"a\\x1B", 5},                                              // ... which counts as ASCII
      {"\xC3", 4},                                                // a byte that is no character
  };
  for (const auto& c : cases) {
    EXPECT_EQ(display_width(c.text), c.width) << c.text;
    EXPECT_EQ(display_width(visible_text(c.text)), c.width) << c.text;
  }
  // A cut keeps whole characters, their combining marks and whole escapes.
  EXPECT_EQ(fit_width("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", 5), "\xE6\x97\xA5\xE6\x9C\xAC");
  EXPECT_EQ(fit_width("e\xCC\x81t", 1), "e\xCC\x81");
  EXPECT_EQ(fit_width("Z\xC3\xBCrich", 2), "Z\xC3\xBC");
  EXPECT_EQ(fit_width("ab\x1B", 5), "ab");
}

// Printable ASCII is passed over eight bytes at a time: a byte that needs
// escaping is found wherever it stands, and the bytes either side of the
// printable range are not taken for printable.
TEST(VisibleText, PrintableAsciiRunsEndAtTheFirstOtherByte) {
  for (std::size_t k = 0; k < 20; ++k) {
    const std::string run(k, '~');
    for (const char* other : {"\x1F", "\x7F", "\x80", "\xC3\xA9"}) {
      const std::string text = run + other + " ";
      const bool escaped = std::string(other) != "\xC3\xA9";
      EXPECT_EQ(plain_text(text), false) << k;
      EXPECT_EQ(visible_text(text), run + (escaped ? visible_text(other) : other) + " ") << k;
      EXPECT_EQ(display_width(text), k + (escaped ? 5 : 2)) << k;
      std::size_t used = 0;
      EXPECT_EQ(fit_width(text, k, &used), run) << k;
      EXPECT_EQ(used, k);
    }
    EXPECT_TRUE(plain_text(run + " !"));
    EXPECT_EQ(fit_width(run + " !", k + 1), run + " ");
  }
}

// The listing of a table of texts beside one number, on 64 columns.
std::string listing_of(const std::vector<std::string>& texts, double number) {
  OutputItem item;
  item.kind = "table";
  ColumnSpec name, value;
  name.name = "Name";
  name.data_type = kTypeChars;
  value.name = "Value";
  item.columns = {name, value};
  for (const std::string& text : texts) item.rows.push_back({Cell::of_text(text), Cell::of_number(number)});
  SystemOptions options;
  EXPECT_TRUE(options.set("LINESIZE=64"));
  std::ostringstream out;
  PrintFile print(out, options);
  render_listing(item, print);
  return out.str();
}

// The rows of a table end where its header does, and the BY line fills the
// line exactly, whatever bytes their characters take.
TEST(VisibleText, AccentedAndWideTextLinesUpInColumns) {
  const std::string listing =
      listing_of({"\xC3\xA9t\xC3\xA9 \xC3\xA0 Z\xC3\xBCrich", "plain", "\xE6\x97\xA5\xE6\x9C\xAC"}, 4.071429);
  std::istringstream lines(listing);
  std::size_t header_end = 0, rows = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.find("Value") != std::string::npos) header_end = display_width(line);
    if (line.find("4.071429") == std::string::npos) continue;
    ++rows;
    EXPECT_EQ(display_width(line), header_end) << listing;
  }
  EXPECT_EQ(rows, 3u) << listing;
  EXPECT_NE(listing.find("\xC3\xA9t\xC3\xA9 \xC3\xA0 Z\xC3\xBCrich  4.071429"), std::string::npos) << listing;
  const std::string by = by_lines({{"city", Cell::of_text("Montr\xC3\xA9" "al"), "Montr\xC3\xA9" "al"}}, 64, '-').at(0);
  EXPECT_EQ(display_width(by), 64u) << by;
  // A line longer than LINESIZE is cut at LINESIZE columns, not bytes.
  std::string long_line;
  for (int i = 0; i < 40; ++i) long_line += "\xC3\xA9" "a";
  SystemOptions options;
  ASSERT_TRUE(options.set("LINESIZE=64"));
  std::ostringstream out;
  PrintFile print(out, options);
  print.write_line(long_line);
  EXPECT_EQ(display_width(out.str()), 64u + 1) << out.str();  // and the newline
}

TEST(VisibleText, ListingColumnsAndTheByLineKeepTheirWidths) {
  // A tab or a newline in a value, which a log line may hold, would break
  // a table's columns and rows: in a cell they are escaped as well.
  const std::string listing = listing_of({"a\x1B[2Jb", "caf\xC3\xA9", "plain", "tab\there", "new\nline"}, 1.5);
  EXPECT_EQ(listing.find('\x1B'), std::string::npos) << listing;
  EXPECT_EQ(listing.find('\t'), std::string::npos) << listing;
  // The numbers, right-aligned, end in one column in every row.
  std::istringstream lines(listing);
  std::size_t end = 0, rows = 0;
  for (std::string line; std::getline(lines, line);)
    if (line.find("1.5") != std::string::npos) {
      if (!end) end = display_width(line);
      EXPECT_EQ(display_width(line), end) << listing;
      ++rows;
    }
  EXPECT_EQ(rows, 5u) << listing;
  EXPECT_NE(listing.find("a\\x1B[2Jb"), std::string::npos) << listing;
  EXPECT_NE(listing.find("tab\\x09here"), std::string::npos) << listing;
  EXPECT_NE(listing.find("new\\x0Aline"), std::string::npos) << listing;
  for (const char* value : {"x\x07y", "x\ny"}) {
    const std::vector<std::string> by = by_lines({{"state", Cell::of_text(value), value}}, 64, '-');
    ASSERT_EQ(by.size(), 1u);
    EXPECT_EQ(by[0].size(), 64u);
    EXPECT_NE(by[0].find(" state=x\\x0"), std::string::npos) << by[0];
  }
}

// A BY value too long for a line, one word, breaks into pieces of nearly
// even length, none a letter alone, that give back the whole value in order.
TEST(VisibleTextTest, ALongByValueBreaksIntoEvenPieces) {
  for (std::size_t n = 50; n <= 240; n += 7) {
    const std::string value = "Long" + std::string(n, 'x');
    std::string joined;
    std::size_t shortest = 1000, longest = 0;
    const std::vector<std::string> lines = by_lines({{"g", Cell::of_text(value), value}}, 64, '-');
    for (const std::string& line : lines) {
      const std::size_t from = line.find_first_not_of("- "), to = line.find_last_not_of("- ");
      joined += line.substr(from, to + 1 - from);
      shortest = std::min(shortest, to + 1 - from);
      longest = std::max(longest, to + 1 - from);
    }
    EXPECT_EQ(joined, "g=" + value);
    EXPECT_LT(longest - shortest, lines.size()) << n;
  }
}

}  // namespace
}  // namespace platform
