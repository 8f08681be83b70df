// The message catalogue: every numbered message the system writes, with its
// severity and its text, read from the catalogue compiled into the program.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>

namespace platform {

enum class Severity : char { Note = 'N', Warning = 'W', Error = 'E', Text = 'T' };

struct Message {
  Severity severity;
  std::string text;  // printf-style format with the inserts
};

class MessageCatalog {
 public:
  // Parses catalogue text; a malformed line is reported on `errors`.
  static MessageCatalog parse(std::string_view text, std::string* errors = nullptr);
  // The catalogue compiled into the program.
  static const MessageCatalog& builtin();

  const Message* find(int set, int number) const;
  const Message* find_status(std::uint32_t status) const;
  // The message's text with its inserts, or an empty string when unknown.
  std::string format(int set, int number, va_list args) const;
  std::size_t size() const { return messages_.size() + statuses_.size(); }

 private:
  std::map<std::pair<int, int>, Message> messages_;
  std::map<std::uint32_t, Message> statuses_;
};

// printf-style formatting into a std::string.
std::string vformat(const char* format, va_list args);
std::string format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The text of the built-in catalogue's message set/number with its inserts,
// for a line written before there is a log to take it; empty when unknown.
std::string message_text(int set, int number, ...);

}  // namespace platform
