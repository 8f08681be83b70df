#include "platform/log.h"

namespace platform {

void Log::write(Severity severity, std::string_view text) {
  std::lock_guard lock(mutex_);
  const char* prefix = "";
  switch (severity) {
    case Severity::Note: prefix = "NOTE: "; break;
    case Severity::Warning: prefix = "WARNING: "; ++warnings_; break;
    case Severity::Error: prefix = "ERROR: "; ++errors_; break;
    case Severity::Text: break;
  }
  // Continuation lines of a multi-line message are indented under the text.
  const std::string indent(std::char_traits<char>::length(prefix), ' ');
  std::size_t start = 0;
  bool first = true;
  while (true) {
    std::size_t nl = text.find('\n', start);
    std::string_view piece = text.substr(start, nl == std::string_view::npos ? nl : nl - start);
    *out_ << (first ? prefix : indent.c_str()) << piece << '\n';
    first = false;
    if (nl == std::string_view::npos) break;
    start = nl + 1;
  }
  out_->flush();
}

}  // namespace platform
