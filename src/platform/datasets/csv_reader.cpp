#include "platform/datasets/csv_reader.h"

#include <charconv>
#include <cstring>

namespace platform::ds {
namespace {

// The characters that end or disturb an unquoted field.
struct SpecialCharacters {
  bool table[256] = {};
  SpecialCharacters() {
    for (unsigned char c : {',', '\n', '\r', '"'}) table[c] = true;
  }
};
const SpecialCharacters kSpecial;

}  // namespace

CsvReader::CsvReader(std::string_view text) : text_(text) {
  if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;  // a UTF-8 byte-order mark
}

bool CsvReader::next(std::vector<std::string_view>& fields) {
  fields.clear();
  unescaped_.clear();
  if (fault_ != CsvFault::None) return false;
  skip_blank_lines();
  if (pos_ >= text_.size()) return false;
  record_line_ = line_;
  bool end_of_record = false;
  while (!end_of_record)
    if (!read_field(fields, &end_of_record)) return false;
  return true;
}

// Skips empty lines and lines of only spaces and tabs (an editor's last
// line, say), which hold no record.
void CsvReader::skip_blank_lines() {
  for (std::size_t at = pos_; at < text_.size(); ++at) {
    const char c = text_[at];
    if (c == ' ' || c == '\t') continue;
    if (c != '\n' && c != '\r') return;
    if (c == '\n') ++line_;
    pos_ = at + 1;
  }
  pos_ = text_.size();
}

bool CsvReader::next_numbers(std::size_t width, double* values, std::size_t* lengths) {
  const char* const end = text_.data() + text_.size();
  const char* p = text_.data() + pos_;
  for (std::size_t c = 0; c < width; ++c) {
    const char* digits = p < end && *p == '-' ? p + 1 : p;
    if (digits >= end || !((*digits >= '0' && *digits <= '9') || *digits == '.')) return false;
    const auto [after, ec] = std::from_chars(p, end, values[c], std::chars_format::general);
    if (ec != std::errc()) return false;
    lengths[c] = static_cast<std::size_t>(after - p);
    const bool last = c + 1 == width;
    if (!last && (after == end || *after != ',')) return false;
    if (last && after != end && *after != '\n' && *after != '\r') return false;
    p = last ? after : after + 1;
  }
  record_line_ = line_;
  pos_ = static_cast<std::size_t>(p - text_.data());
  bool ended = false;
  at_record_end(&ended);
  return true;
}

// Consumes a comma (more fields follow) or a line end or the end of the
// text (the record ends); false when something else is there.
bool CsvReader::at_record_end(bool* end_of_record) {
  if (pos_ >= text_.size()) {
    *end_of_record = true;
    return true;
  }
  char c = text_[pos_];
  if (c == ',') {
    ++pos_;
    // A comma as the last character of the text ends with an empty field.
    return true;
  }
  if (c == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') ++pos_;
  if (c == '\n' || c == '\r') {
    ++pos_;
    ++line_;
    *end_of_record = true;
    return true;
  }
  return false;
}

bool CsvReader::read_field(std::vector<std::string_view>& fields, bool* end_of_record) {
  if (pos_ < text_.size() && text_[pos_] == '"') return read_quoted(fields, end_of_record);
  std::size_t start = pos_;
  while (pos_ < text_.size() && !kSpecial.table[static_cast<unsigned char>(text_[pos_])]) ++pos_;
  if (pos_ < text_.size() && text_[pos_] == '"') {
    fault_ = CsvFault::QuoteInBareField;
    record_line_ = line_;
    return false;
  }
  fields.push_back(text_.substr(start, pos_ - start));
  bool ended = at_record_end(end_of_record);
  if (ended && !*end_of_record && pos_ == text_.size()) {
    fields.emplace_back();  // "a,b," ends with an empty field
    *end_of_record = true;
  }
  return ended;
}

bool CsvReader::read_quoted(std::vector<std::string_view>& fields, bool* end_of_record) {
  const std::int64_t start_line = line_;
  std::size_t start = ++pos_;
  std::string* copy = nullptr;  // made only when the field holds a doubled quote
  while (true) {
    const char* found =
        static_cast<const char*>(std::memchr(text_.data() + pos_, '"', text_.size() - pos_));
    if (!found) {
      fault_ = CsvFault::UnclosedQuote;
      record_line_ = start_line;
      return false;
    }
    std::size_t quote = static_cast<std::size_t>(found - text_.data());
    for (std::size_t i = pos_; i < quote; ++i)
      if (text_[i] == '\n') ++line_;
    if (copy) copy->append(text_.substr(pos_, quote - pos_));
    pos_ = quote + 1;
    if (pos_ < text_.size() && text_[pos_] == '"') {  // a doubled quote
      if (!copy) copy = &unescaped_.emplace_back(text_.substr(start, quote - start));
      copy->push_back('"');
      ++pos_;
      continue;
    }
    fields.push_back(copy ? std::string_view(*copy) : text_.substr(start, quote - start));
    break;
  }
  if (at_record_end(end_of_record)) {
    if (!*end_of_record && pos_ == text_.size()) {
      fields.emplace_back();
      *end_of_record = true;
    }
    return true;
  }
  fault_ = CsvFault::TextAfterQuote;
  record_line_ = line_;
  return false;
}

}  // namespace platform::ds
