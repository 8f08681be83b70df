// The log: NOTE:, WARNING: and ERROR: lines and plain text, in the order
// the step writes them.
#pragma once

#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>

#include "platform/listing/message_catalog.h"

namespace platform {

class Log {
 public:
  explicit Log(std::ostream& out) : out_(&out) {}

  void write(Severity severity, std::string_view text);
  void note(std::string_view text) { write(Severity::Note, text); }
  void warning(std::string_view text) { write(Severity::Warning, text); }
  void error(std::string_view text) { write(Severity::Error, text); }
  void line(std::string_view text) { write(Severity::Text, text); }

  // Called under the log's lock for every ERROR line, as it is written.
  void on_error(std::function<void()> hook) { on_error_ = std::move(hook); }
  // With several program files, messages that cite a line ("Line 3,
  // column 2: ...") name the file they are about; empty names none.
  void set_program_file(std::string file) { program_file_ = std::move(file); }
  // Where the log goes when its stream fails (a full disk): an ERROR line
  // `notice` first, made when the stream fails (so that it can give the
  // cause), then the line that failed and every later one.
  void set_fallback(std::ostream& fallback, std::function<std::string()> notice);
  // Whether a line could not be written where it was meant to go.
  bool failed() const { return failed_; }

  int errors() const { return errors_; }
  int warnings() const { return warnings_; }

 private:
  void divert(const std::string& failed_lines);

  std::ostream* out_;
  std::ostream* fallback_ = nullptr;
  std::function<std::string()> notice_;
  bool failed_ = false;
  std::mutex mutex_;
  std::string program_file_;
  int errors_ = 0;
  int warnings_ = 0;
  std::function<void()> on_error_;
};

}  // namespace platform
