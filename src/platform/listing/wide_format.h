// printf-style formatting of wide (QXChar) formats, as the kernel library's
// journals and message services do it. Directives follow printf, with the
// kernel's string conventions: "%s", "%S" and "%ls" take a wide string,
// "%hs" a narrow one; "%c" takes a wide character, "%hc" a narrow one. A
// precision on a string limits what is read, so "%.*S" works on text
// without a terminator. "%n" is not supported and writes nothing.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>
#include <string_view>

#include "host/types.h"

namespace platform {

// Where the formatter takes its arguments from, in order. `length` is the
// printf length modifier: 'H' (hh), 'h', 0 (none), 'l', 'q' (ll), 'j', 'z',
// 't' or 'L'.
class FormatArgs {
 public:
  virtual ~FormatArgs() = default;
  virtual std::intmax_t signed_int(char length) = 0;
  virtual std::uintmax_t unsigned_int(char length) = 0;
  virtual long double real(bool long_double) = 0;
  virtual const void* pointer() = 0;
  // A string argument; `wide` tells which kind the format expects and
  // `limit` (below 0: none) how many characters the format reads of it.
  virtual const void* text(bool wide, long limit) { return (void)wide, (void)limit, pointer(); }
};

// Arguments taken from a va_list (copied, so the caller's list is not used up).
class VaFormatArgs : public FormatArgs {
 public:
  explicit VaFormatArgs(va_list args) { va_copy(args_, args); }
  ~VaFormatArgs() override { va_end(args_); }
  VaFormatArgs(const VaFormatArgs&) = delete;
  VaFormatArgs& operator=(const VaFormatArgs&) = delete;

  std::intmax_t signed_int(char length) override;
  std::uintmax_t unsigned_int(char length) override;
  long double real(bool long_double) override;
  const void* pointer() override;

 private:
  va_list args_;
};

std::u32string wide_format(std::u32string_view format, FormatArgs& args);
// `length` below 1 means the format is NUL-terminated.
std::u32string wide_vformat(const QXChar* format, QXStrSize length, va_list args);

// Copies text into a buffer of `capacity` characters: as much as fits with a
// terminating zero. `copied` (may be null) receives the characters copied.
// Returns 0, or 0x803FE807 when the text did not fit.
QXStatus copy_to_buffer(std::u32string_view text, QXChar* buffer, QXStrSize capacity,
                        QXStrSize* copied);

}  // namespace platform
