// Vector 39: the print file, its line records and the listing print family.
// Every service writes into the output line record (`xpoutl`), the line the
// printers build; text never passes the line's last column.
#include <algorithm>
#include <cstring>

#include "host/missing.h"
#include "platform/host.h"
#include "platform/listing/line_format.h"
#include "platform/listing/number_format.h"
#include "platform/output/output_render.h"
#include "platform/services/service_impls.h"

namespace platform::svc {
namespace {

PrintFile& print_file() { return Host::current().print_file(); }

LineCursor cursor(LINESTR* l) {
  LineCursor c;
  c.first = l->out + 1;
  c.last = linestr_last_column(l);
  c.column = &l->colnum;
  c.keep_lines = [](int n) { print_file().keep_together(n); };
  c.centre = [l] { l->autocent = 1; };
  return c;
}

// Applies a position: a positive one is a 1-based column, a non-positive
// one a number of columns to skip.
void position_at(LineCursor& c, int position) {
  if (position > 0) *c.column = std::clamp(position - 1, 0, c.last);
  else skip_columns(c, -position);
}

int text_length(const char* text, int length) {
  if (!text) return 0;
  return length < 0 ? static_cast<int>(std::strlen(text)) : length;
}

}  // namespace

int xpselec(int /*file*/, int destination) {
  print_file().destination = destination;
  return 0;
}

LINESTR* xplogl(int) { return print_file().line(PrintFile::LogLine); }
LINESTR* xpmsgl(int) { return print_file().line(PrintFile::MessageLine); }
LINESTR* xpprnl(int) { return print_file().line(PrintFile::Print); }

int xpoutl(void* file, LINESTR** line) {
  auto* pf = static_cast<PrintFile*>(file);
  if (!pf || !line) return 1;
  *line = pf->output();
  return 0;
}

int xpopen(void* file) {
  auto* pf = static_cast<PrintFile*>(file);
  if (!pf) return 1;
  pf->open = true;
  return 0;
}

int xpfmtc(int /*file*/, const char* text, int length, int position) {
  LineCursor c = cursor(print_file().output());
  position_at(c, position);
  put_text(c, std::string_view(text ? text : "", static_cast<std::size_t>(text_length(text, length))));
  return 0;
}

int xpfmtcr(int /*file*/, char ch, int length, int count, int position) {
  LineCursor c = cursor(print_file().output());
  position_at(c, position);
  const long n = std::clamp(static_cast<long>(std::max(length, 1)) * count, 0L, static_cast<long>(c.last));
  put_text(c, std::string(static_cast<std::size_t>(n), ch));
  return 0;
}

int xpfmtcv(int /*file*/, const char* text, int length, int width, int position) {
  LineCursor c = cursor(print_file().output());
  position_at(c, position);
  int n = std::min(text_length(text, length), std::max(width, 0));
  int before = (width - n) / 2;
  skip_columns(c, before);
  put_text(c, std::string_view(text ? text : "", static_cast<std::size_t>(n)));
  skip_columns(c, width - n - before);
  return 0;
}

int xps(const char* format, va_list args) {
  LineCursor c = cursor(print_file().output());
  return format_line(c, format, args);
}

int xpsout(const char* format, va_list args) {
  int n = xps(format, args);
  print_file().end_line(print_file().output());
  return n;
}

int xpsstr(char* buffer, int length, const char* format, va_list args) {
  if (!buffer || length < 1) return 0;
  std::memset(buffer, ' ', static_cast<std::size_t>(length));
  int column = 0;
  LineCursor c;
  c.first = buffer;
  c.last = length;
  c.column = &column;
  format_line(c, format, args);
  return column;
}

int xpoflsh() {
  print_file().end_line(print_file().output());
  return 0;
}

int xppage() {
  print_file().end_line(print_file().output());
  print_file().new_page();
  return 0;
}

int xpskip(int lines) {
  print_file().end_line(print_file().output());
  print_file().blank_lines(std::clamp(lines, 0, print_file().pagesize()));
  return 0;
}

int xpm(int set, int number, va_list args) {
  std::string text = Host::current().messages().format(set, number, args);
  LineCursor c = cursor(print_file().output());
  put_text(c, text);
  return static_cast<int>(text.size());
}

int xpmprn(int set, int number, va_list args) {
  Host& host = Host::current();
  const Message* m = host.messages().find(set, number);
  if (!m) {
    host.log_message(set, number, args);  // reports the missing message
    return -1;
  }
  std::string text = host.messages().format(set, number, args);
  const char* prefix = m->severity == Severity::Note      ? "NOTE: "
                       : m->severity == Severity::Warning ? "WARNING: "
                       : m->severity == Severity::Error   ? "ERROR: "
                                                          : "";
  print_file().end_line(print_file().output());
  for (const std::string& line : wrap_text(prefix + text, print_file().linesize())) print_file().write_line(line);
  return 0;
}

int zfmt(WZ_FMTPAR* request) {
  if (!request || !request->to || request->tow < 1 || !request->from) return 1;
  double value = 0;
  std::memcpy(&value, request->from, sizeof value);
  std::string field;
  bool fits = format_number(value, request->tow, request->d, &field);
  std::memcpy(request->to, field.data(), field.size());
  request->retw = request->tow;
  return fits ? 0 : 1;
}

int zfmmiss(WZ_FMTPAR* request) {
  if (!request || !request->to || request->tow < 1) return 1;
  double value = missing_value();
  if (request->from) std::memcpy(&value, request->from, sizeof value);
  std::string mark = missing_mark(value);
  std::string field = std::string(static_cast<std::size_t>(std::max(0, request->tow - static_cast<int>(mark.size()))), ' ') + mark;
  std::memcpy(request->to, field.data() + field.size() - static_cast<std::size_t>(request->tow), static_cast<std::size_t>(request->tow));
  request->retw = request->tow;
  return 0;
}

int xpfs(int width, int decimals, char* field) {
  if (!field || width < 1) return 1;
  return power_of_ten_field(width, decimals, field) ? 0 : 1;
}

int xpils(long value, int width, char* field) {
  if (!field || width < 1) return 1;
  return integer_field(value, width, field) ? 0 : 1;
}

int xpis(int value, int width, char* field) {
  if (!field || width < 1) return 1;
  return integer_field(value, width, field) ? 0 : 1;
}

}  // namespace platform::svc
