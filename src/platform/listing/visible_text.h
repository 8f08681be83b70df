// Text as the listing and the log show it. A data value or a name may hold
// any byte, and both files are read on terminals: an escape sequence or a
// bell written raw would drive the terminal instead of being read. Control
// characters other than tab and newline (C0, DEL and the C1 range) and
// bytes that are not UTF-8 are shown as \xHH, one escape per byte; valid
// UTF-8 text passes unchanged. The result holds no byte that needs
// escaping, so showing it again changes nothing.
//
// The listing lays text out in terminal columns, not bytes: a character
// takes one column, a combining mark or a zero-width character none, an
// East Asian wide or fullwidth character two, and an escaped byte the four
// of its \xHH.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// At most `limit` bytes of the shown text; a character or an escape that
// does not fit whole is left out with all that follows it.
std::string visible_text(std::string_view text, std::size_t limit = std::string_view::npos);

// The columns `text` takes once shown; the same for the text and for its
// visible_text.
std::size_t display_width(std::string_view text);
// The longest start of `text` whose shown form takes at most `width`
// columns. A character is never split, nor a byte that is shown escaped;
// combining marks stay with the character before them.
std::string_view fit_width(std::string_view text, std::size_t width);

}  // namespace platform
