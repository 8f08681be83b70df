#include "platform/report/long_words.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "platform/listing/visible_text.h"
#include "platform/report/html_report.h"
#include "platform/utf8.h"

namespace platform::report {
namespace {

int width_of(std::string_view word) { return static_cast<int>(display_width(word)); }

// Calls `each` with every word of `text` and the blanks after it, so that
// the words joined give the text back. A word ends at a blank or, as the
// browser may break a line there, after a hyphen that a letter follows.
template <class Each>
void for_each_word(const std::string& text, Each each) {
  auto ends_here = [&](std::size_t i) {
    return text[i] == ' ' ||
           (i > 0 && text[i - 1] == '-' && std::isalpha(static_cast<unsigned char>(text[i])) != 0);
  };
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = start + 1;
    while (end < text.size() && !ends_here(end)) ++end;
    const std::size_t next = std::min(text.find_first_not_of(' ', end), text.size());
    each(std::string_view(text).substr(start, end - start), std::string_view(text).substr(end, next - end));
    start = next;
  }
}

}  // namespace

std::string breakable_html(const std::string& text) {
  std::string html;
  for_each_word(text, [&](std::string_view word, std::string_view blanks) {
    if (width_of(word) <= kLongWord) {
      html += html_escape(std::string(word));
    } else {
      for (bool first = true; !word.empty(); first = false) {
        std::string_view piece = fit_width(word, kWordPiece);
        if (piece.empty()) {  // a character shown as escapes wider than a piece goes whole
          std::size_t end = 0;
          decode_utf8(word, end);
          piece = word.substr(0, end);
        }
        html += (first ? "" : "<wbr>") + html_escape(std::string(piece));
        word.remove_prefix(piece.size());
      }
    }
    html += blanks;
  });
  return html;
}

int unbroken_width(const std::string& text) {
  int widest = 0;
  for_each_word(text, [&](std::string_view word, std::string_view) {
    const int w = width_of(word);
    widest = std::max(widest, w > kLongWord ? std::min(w, kWordPiece) : w);
  });
  return widest;
}

}  // namespace platform::report
