// The formatted writes of the listing print family (`xps`, `xpsout`,
// `xpsstr`): printf-style conversions written into a line at its current
// column, never past the line's last column, with the host's additions:
//
//   %Nt    move to column N;  %+Nt  skip N columns (N may be *)
//   %.Nn   keep N lines together: a new page when fewer are left (N may be *)
//   %a     centre the line when it is ended
//   %W.$f  a double by the decimal code taken from the next argument (a
//          long); a precision above 32 in %W.Df is a decimal code too (see
//          platform/number_format.h); missing values print as their mark
//   %W.Ps  text in a field of exactly |P| columns (cut or padded), right-
//          aligned when P is negative; with a width and no precision the
//          text is read for at most W bytes, so counted text needs no
//          terminator
#pragma once

#include <cstdarg>
#include <functional>
#include <string_view>

namespace platform {

// A line being written: columns 1 to `last` live at first[0] to
// first[last - 1]; `column` is the last column written (0 at the start).
struct LineCursor {
  char* first = nullptr;
  int last = 0;
  int* column = nullptr;
  std::function<void(int)> keep_lines;  // for %n; null ignores it
  std::function<void()> centre;         // for %a; null ignores it
};

// Writes `text` at the next column, dropping what passes the last column.
// The column still advances by the full length (up to the line's end).
void put_text(LineCursor& line, std::string_view text);
// Moves the current column by `n` (never below 0 or past the line's end).
void skip_columns(LineCursor& line, int n);

// Formats into the line; returns the number of characters produced.
int format_line(LineCursor& line, const char* format, va_list args);

}  // namespace platform
