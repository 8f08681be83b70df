// The host's listing line record: the line being built, its width and the
// room left on the page. The host owns it; printers read and write the
// fields below through the pointer `xpoutl` hands out.
#pragma once

#include <cstdint>

struct LINESTR {
  int linesize;    // usable line width
  int pagesize;    // lines per page
  int left;        // lines left on the page
  int lmargin;     // left margin, 1-based column
  int colnum;      // current column, 1-based
  int cindent;     // indentation of centred text
  int lineone;     // when set, a panel needs room for one row only
  int autocent;    // centre lines automatically
  int center;      // centring on or off
  char type;       // 'h' heading line, 'd' data line
  char* out;       // the line buffer, `capacity` bytes
  int capacity;    // bytes in `out`
  void* owner;     // the host's print file
};
