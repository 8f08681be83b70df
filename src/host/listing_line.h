// The host's listing line record: the line being built, its width and the
// room left on the page. The host owns it; printers read and write the
// fields below through the pointer `xpoutl` hands out.
//
// Columns are 1-based and counted from the left margin: out[c] holds column
// c (out[0] precedes the first column). `colnum` is the last column written,
// 0 at the start of a line, so the next character goes to column colnum + 1.
// A writer keeps every byte it stores below `capacity` and at or before
// column `linesize` - `lmargin` + 1, the last column of the line.
#pragma once

#include <cstdint>

struct LINESTR {
  int linesize;    // usable line width
  int pagesize;    // lines per page
  int left;        // lines left on the page
  int lmargin;     // left margin, 1-based column of the listing
  int colnum;      // last column written, 0 at the start of a line
  int cindent;     // columns added to the margin of a centred line
  int lineone;     // when set, a panel needs room for one row only
  int autocent;    // centre each line as it is ended (when `center` is on)
  int center;      // centring on or off (the CENTER option)
  char type;       // 'h' heading line, 'd' data line
  char* out;       // the line buffer, `capacity` bytes
  int capacity;    // bytes in `out`
  void* owner;     // the host's print file
};

// The last column a writer may use on the line: the line's end relative to
// its margin, kept inside the buffer.
inline int linestr_last_column(const LINESTR* l) {
  int last = l->linesize - (l->lmargin > 1 ? l->lmargin - 1 : 0);
  if (last > l->capacity - 1) last = l->capacity - 1;
  return last < 0 ? 0 : last;
}
