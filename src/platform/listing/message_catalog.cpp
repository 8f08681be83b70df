#include "platform/listing/message_catalog.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace platform {

extern const char* const kMessageCatalogueText;

std::string vformat(const char* fmt, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, fmt, copy);
  va_end(copy);
  if (n < 0) return fmt;
  std::string out(static_cast<std::size_t>(n) + 1, '\0');
  std::vsnprintf(out.data(), out.size(), fmt, args);
  out.resize(static_cast<std::size_t>(n));
  return out;
}

std::string format(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string s = vformat(fmt, ap);
  va_end(ap);
  return s;
}

namespace {
bool valid_severity(char c) { return c == 'N' || c == 'W' || c == 'E' || c == 'T'; }
}  // namespace

MessageCatalog MessageCatalog::parse(std::string_view text, std::string* errors) {
  MessageCatalog cat;
  // A stream keeps a failed allocation to itself as a bad state, which
  // would end the catalogue early without a word: it is thrown instead.
  std::istringstream in{std::string(text)};
  in.exceptions(std::ios::badbit);
  std::string line;
  int lineno = 0;
  while (std::getline(in, line)) {
    ++lineno;
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    fields.exceptions(std::ios::badbit);
    std::string set, number, severity;
    fields >> set >> number >> severity;
    std::string rest;
    std::getline(fields, rest);
    if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
    if (severity.size() != 1 || !valid_severity(severity[0]) || number.empty()) {
      if (errors) *errors += platform::format("line %d: malformed message\n", lineno);
      continue;
    }
    Message m{static_cast<Severity>(severity[0]), rest};
    if (set == "status") {
      cat.statuses_[static_cast<std::uint32_t>(std::strtoul(number.c_str(), nullptr, 0))] = m;
      continue;
    }
    auto key = std::make_pair(std::atoi(set.c_str()), std::atoi(number.c_str()));
    if (cat.messages_.count(key) && errors)
      *errors += platform::format("line %d: message %d/%d is defined twice\n", lineno, key.first, key.second);
    cat.messages_[key] = m;
  }
  return cat;
}

const MessageCatalog& MessageCatalog::builtin() {
  static const MessageCatalog cat = parse(kMessageCatalogueText);
  return cat;
}

const Message* MessageCatalog::find(int set, int number) const {
  auto it = messages_.find({set, number});
  return it == messages_.end() ? nullptr : &it->second;
}

const Message* MessageCatalog::find_status(std::uint32_t status) const {
  auto it = statuses_.find(status);
  return it == statuses_.end() ? nullptr : &it->second;
}

std::string MessageCatalog::format(int set, int number, va_list args) const {
  const Message* m = find(set, number);
  return m ? vformat(m->text.c_str(), args) : std::string();
}

std::string message_text(int set, int number, ...) {
  va_list args;
  va_start(args, number);
  std::string text = MessageCatalog::builtin().format(set, number, args);
  va_end(args);
  return text;
}

}  // namespace platform
