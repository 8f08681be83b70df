// Text as the listing, the log, the report and the graphs show it. A data
// value or a name may hold any byte, and the listing and the log are read on
// terminals: an escape sequence or a bell written raw would drive the
// terminal, a direction control would reorder the line, an invisible
// character would hide what the text holds. Those characters are shown as
// \xHH, one escape per byte of their UTF-8: control characters other than
// tab and newline (C0, DEL and the C1 range), the bidirectional controls
// (U+061C, U+200E, U+200F, U+202A to U+202E, U+2066 to U+2069), the zero-
// width spaces and joiners (U+200B to U+200D, U+2060 to U+2064) and the byte
// order mark U+FEFF; so are bytes that are not UTF-8. Other UTF-8 text
// passes unchanged. The result holds no byte that needs escaping, so showing
// it again changes nothing.
//
// The listing lays text out in terminal columns, not bytes: a character
// takes one column, a combining mark none, an East Asian wide or fullwidth
// character two, and an escaped byte the four of its \xHH.
//
// Printable ASCII (0x20 to 0x7E), most of any listing, needs neither
// escaping nor measuring, and is passed over at once.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Whether the character is shown as \xHH escapes of its UTF-8 bytes.
bool shown_escaped(char32_t c);
// Whether the text is printable ASCII only: shown as it is, a column a
// byte. Hot paths skip visible_text and its copy for such text.
bool plain_text(std::string_view text);

// At most `limit` bytes of the shown text; a character or an escape that
// does not fit whole is left out with all that follows it.
std::string visible_text(std::string_view text, std::size_t limit = std::string_view::npos);
// The shown text of a value quoted in a message, where a no-break space
// (U+00A0) would pass for a space: it is escaped too.
std::string quoted_value_text(std::string_view text);
// The shown text of a value laid out on one line of the listing (a table's
// cell or heading, the BY line), where a tab or a newline would break the
// columns and the page's line count: they are escaped too.
std::string one_line_text(std::string_view text);

// `text` whole when it holds at most `longest` bytes, else its first `head`
// and last `tail` bytes around " ... ", cut between characters and outside
// a \xHH escape.
std::string shortened_in_middle(std::string_view text, std::size_t longest, std::size_t head, std::size_t tail);

// Whether the character takes two columns: East Asian wide or fullwidth
// (Hangul, the CJK blocks, fullwidth forms) or an emoji.
bool double_width(char32_t c);

// The columns `text` takes once shown; the same for the text and for its
// visible_text.
std::size_t display_width(std::string_view text);
// The longest start of `text` whose shown form takes at most `width`
// columns. A character is never split, nor a byte that is shown escaped;
// combining marks stay with the character before them. The columns it
// takes go to `columns_used` when given.
std::string_view fit_width(std::string_view text, std::size_t width, std::size_t* columns_used = nullptr);

}  // namespace platform
