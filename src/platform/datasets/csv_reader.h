// Reads CSV text (RFC 4180) one record at a time: fields separated by
// commas, records ended by LF or CRLF, fields optionally enclosed in double
// quotes, a quote inside a quoted field written twice. Quoted fields may
// hold commas and line breaks. Empty lines, and lines of only spaces and
// tabs, are skipped.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace platform::ds {

enum class CsvFault {
  None,
  UnclosedQuote,     // the text ends inside a quoted field
  TextAfterQuote,    // a closing quote followed by something other than a comma or line end
  QuoteInBareField,  // a quote inside a field that does not start with one
};

class CsvReader {
 public:
  // `text` must outlive the reader and the fields it hands out.
  explicit CsvReader(std::string_view text);

  // Reads the next record into `fields`; false at the end of the text or on a
  // fault (then fault() says which and line() where). The fields stay valid
  // until the next call.
  bool next(std::vector<std::string_view>& fields);

  // Reads the next record when it is `width` plain numbers: an optional
  // minus sign, then a digit or a point, read whole by from_chars, with
  // nothing else in their fields. True with their values and their fields'
  // lengths; false, with nothing read, for any other record (quotes,
  // blanks, missing values, empty lines, another field count, the end of
  // the text), which next() then reads. A large file of numbers is read
  // without the per-field work of next().
  bool next_numbers(std::size_t width, double* values, std::size_t* lengths);

  CsvFault fault() const { return fault_; }
  // The 1-based line on which the last record (or the fault) starts.
  std::int64_t line() const { return record_line_; }

 private:
  bool read_field(std::vector<std::string_view>& fields, bool* end_of_record);
  bool read_quoted(std::vector<std::string_view>& fields, bool* end_of_record);
  bool at_record_end(bool* end_of_record);
  void skip_blank_lines();

  std::string_view text_;
  std::size_t pos_ = 0;
  std::int64_t line_ = 1;
  std::int64_t record_line_ = 0;
  CsvFault fault_ = CsvFault::None;
  std::deque<std::string> unescaped_;  // quoted fields that held doubled quotes
};

}  // namespace platform::ds
