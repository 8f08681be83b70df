#include "platform/listing/log.h"

#include "platform/listing/visible_text.h"
#include "platform/run_stop.h"

namespace platform {
namespace {

// A line that echoes a huge token (a megabyte-long name or string) is cut
// in the middle: its start and its end, which says what is wrong, remain.
// A message is whole: its text (at most a few hundred characters) with the
// values it names (a BY group's text of at most 255 bytes, itself shortened
// in the middle past that, names of 32, numbers, labels and paths of
// ordinary length) stays far below the limit.
constexpr std::size_t kLongestLine = 8192;
constexpr std::size_t kKeptHead = 360;
constexpr std::size_t kKeptTail = 100;

bool cites_a_line(std::string_view text) {
  return text.size() > 5 && text.substr(0, 5) == "Line " && text[5] >= '0' && text[5] <= '9';
}

}  // namespace

void Log::write(Severity severity, std::string_view text) {
  // A run being stopped by a signal ends its log with the line that names
  // the signal: no line may follow it (run_stop.h).
  const LogLineGate gate;
  if (!gate.open()) return;
  std::lock_guard lock(mutex_);
  std::string named;
  if (!program_file_.empty() && cites_a_line(text)) {
    named = program_file_ + ", line " + std::string(text.substr(5));
    text = named;
  }
  const char* prefix = "";
  switch (severity) {
    case Severity::Note: prefix = "NOTE: "; break;
    case Severity::Warning: prefix = "WARNING: "; ++warnings_; break;
    case Severity::Error:
      prefix = "ERROR: ";
      ++errors_;
      if (on_error_) on_error_();
      break;
    case Severity::Text: break;
  }
  // Continuation lines of a multi-line message are indented under the text.
  // Every byte of the log goes out below, shown as visible_text does.
  const std::string indent(std::char_traits<char>::length(prefix), ' ');
  std::string lines;
  std::size_t start = 0;
  bool first = true;
  while (true) {
    std::size_t nl = text.find('\n', start);
    std::string_view piece = text.substr(start, nl == std::string_view::npos ? nl : nl - start);
    lines += (first ? prefix : indent.c_str()) + visible_text(shortened_in_middle(piece, kLongestLine, kKeptHead, kKeptTail)) + '\n';
    first = false;
    if (nl == std::string_view::npos) break;
    start = nl + 1;
  }
  *out_ << lines;
  out_->flush();
  if (!*out_ && !failed_) divert(lines);
}

void Log::set_fallback(std::ostream& fallback, std::function<std::string()> notice) {
  std::lock_guard lock(mutex_);
  fallback_ = &fallback;
  notice_ = std::move(notice);
}

// Not counted as the step's ERROR: the step's results stand, and the
// command's exit status answers for the lost lines.
void Log::divert(const std::string& failed_lines) {
  failed_ = true;
  if (!fallback_ || fallback_ == out_) return;
  out_ = fallback_;
  *out_ << "ERROR: " << notice_() << '\n' << failed_lines;
  out_->flush();
}

}  // namespace platform
