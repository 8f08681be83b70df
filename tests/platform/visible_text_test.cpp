// What reaches a terminal through the listing and the log: control bytes
// and bytes that are not UTF-8 shown as \xHH, UTF-8 text unchanged, and the
// listing's columns and BY line as wide as the text they show.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

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
  };
  for (const auto& c : cases) {
    EXPECT_EQ(visible_text(c.in), c.shown) << c.shown;
    EXPECT_EQ(visible_text(c.shown), c.shown) << "showing twice changes nothing";
  }
  // A limit keeps whole characters and whole escapes only.
  EXPECT_EQ(visible_text("ab\x1B", 5), "ab");
  EXPECT_EQ(visible_text("ab\xE6\x97\xA5", 4), "ab");
  EXPECT_EQ(visible_text("ab\x1B" "c", 6), "ab\\x1B");
}

TEST(VisibleText, ListingColumnsAndTheByLineKeepTheirWidths) {
  OutputItem item;
  item.kind = "table";
  ColumnSpec name, value;
  name.name = "Name";
  name.data_type = kTypeChars;
  value.name = "Value";
  item.columns = {name, value};
  for (const char* text : {"a\x1B[2Jb", "caf\xC3\xA9", "plain"})
    item.rows.push_back({Cell::of_text(text), Cell::of_number(1.5)});
  SystemOptions options;
  ASSERT_TRUE(options.set("LINESIZE=64"));
  std::ostringstream out;
  PrintFile print(out, options);
  render_listing(item, print);
  const std::string listing = out.str();
  EXPECT_EQ(listing.find('\x1B'), std::string::npos) << listing;
  // The numbers, right-aligned, end in one column in every row.
  std::istringstream lines(listing);
  std::size_t end = 0;
  for (std::string line; std::getline(lines, line);)
    if (line.find("1.5") != std::string::npos) {
      if (!end) end = line.size();
      EXPECT_EQ(line.size(), end) << listing;
    }
  EXPECT_NE(listing.find("a\\x1B[2Jb"), std::string::npos) << listing;
  const std::string by = by_line({{"state", Cell::of_text("x\x07y"), "x\x07y"}}, 64, '-');
  EXPECT_EQ(by.size(), 64u);
  EXPECT_NE(by.find(" state=x\\x07y "), std::string::npos) << by;
}

}  // namespace
}  // namespace platform
