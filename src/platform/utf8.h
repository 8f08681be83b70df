// UTF-8 to and from wide (UTF-32) text, for the log, the environment, the
// command line and the text of graphs and the report. Invalid input never
// fails: a bad byte or code point becomes U+FFFD.
#pragma once

#include <string>
#include <string_view>

#include "host/types.h"

namespace platform {

inline constexpr char32_t kReplacementChar = 0xFFFD;

std::string to_utf8(std::u32string_view text);
std::string to_utf8(const QXChar* text, QXStrSize length);
std::u32string from_utf8(std::string_view text);

// One character of UTF-8 text at `text[i]`, with `i` advanced past it; an
// invalid byte is U+FFFD and `i` moves on by one byte only.
char32_t decode_utf8(std::string_view text, std::size_t& i);
// Appends `c` in UTF-8; a surrogate or a value past U+10FFFF as U+FFFD.
void append_utf8(std::string& out, char32_t c);

// Characters before the terminating zero; 0 for null.
QXStrSize wide_length(const QXChar* text);
// A view of a wide text given with a length, or NUL-terminated when the
// length is below 1.
std::u32string_view wide_view(const QXChar* text, QXStrSize length);

}  // namespace platform
