// Words too long for a column of the report's tables: an ID value, a
// label or a variable's name without blanks. The browser never breaks a
// word on its own, so one long word would make its column, and the table,
// as wide as the word. A word longer than kLongWord columns gets a break
// opportunity after every kWordPiece columns of it: the column can be as
// narrow as a piece, and the browser fills each line with as many pieces as
// the column holds. Shorter words stay whole, so ordinary headings and
// labels never break inside a word. Words end at blanks and after hyphens
// ("Bias-Corrected" is two), where the browser breaks lines too.
#pragma once

#include <string>

namespace platform::report {

inline constexpr int kLongWord = 12;
inline constexpr int kWordPiece = 8;

// `text` as HTML, escaped, with <wbr> between the pieces of its long words.
std::string breakable_html(const std::string& text);
// The columns of the widest run of `text` that the browser cannot break:
// a whole short word or a piece of a long one.
int unbroken_width(const std::string& text);

}  // namespace platform::report
