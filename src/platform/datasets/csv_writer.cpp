#include "platform/datasets/csv_writer.h"

#include <cstring>

#include "platform/datasets/sidecar.h"
#include "platform/datasets/value_text.h"

namespace platform::ds {

void append_text_field(std::string_view value, std::string* line) {
  while (!value.empty() && value.back() == ' ') value.remove_suffix(1);
  if (value.find_first_of(",\"\r\n") == std::string_view::npos) {
    line->append(value);
    return;
  }
  line->push_back('"');
  for (char c : value) {
    if (c == '"') line->push_back('"');
    line->push_back(c);
  }
  line->push_back('"');
}

bool CsvWriter::open(const std::filesystem::path& target, const std::vector<Variable>& variables,
                     std::string* why) {
  // A device or a pipe takes the data set only when its step succeeds, as
  // a file is put in place only then.
  file_.hold_in_place_until_commit();
  if (!file_.open(target, why)) return false;
  line_.clear();
  for (std::size_t i = 0; i < variables.size(); ++i) {
    if (i) line_.push_back(',');
    line_ += variables[i].name;
  }
  line_.push_back('\n');
  return file_.write(line_, why);
}

bool CsvWriter::write_row(const std::vector<Variable>& variables, const unsigned char* record,
                          std::string* why) {
  line_.clear();
  char number[kNumberTextSize];
  for (std::size_t i = 0; i < variables.size(); ++i) {
    const Variable& v = variables[i];
    if (i) line_.push_back(',');
    if (v.type == VarType::Numeric) {
      double d;
      std::memcpy(&d, record + v.offset, 8);
      // The ordinary missing value is an empty field, which R and pandas read
      // as missing; the special ones keep their names.
      char* end = write_number(d, number);
      if (end != number + 1 || number[0] != '.') line_.append(number, end);
    } else {
      append_text_field(
          {reinterpret_cast<const char*>(record + v.offset), static_cast<std::size_t>(v.length)},
          &line_);
    }
  }
  // An empty line is no row to the reader: a lone blank or missing value is
  // written as an empty quoted field.
  if (line_.empty() && !variables.empty()) line_ = "\"\"";
  line_.push_back('\n');
  return file_.write(line_, why);
}

// The description is finished after the data, so that its time is never
// before theirs: a description older than its data was not written with them.
// A device or a stream has none: nothing is made beside it (in /dev, /proc).
bool CsvWriter::complete(const std::string& sidecar, std::string* why) {
  if (!file_.finish(true, why)) return false;
  if (file_.in_place()) return true;
  // Beside the data file in the folder its look found: the names on the
  // way are not looked at again.
  if (!sidecar_.open(sidecar_beside(file_.target()), why) || !sidecar_.write(sidecar, why) ||
      !sidecar_.finish(true, why)) {
    abandon();
    return false;
  }
  return true;
}

bool CsvWriter::publish(std::string* why) {
  const bool published = file_.commit(why) && (file_.in_place() || sidecar_.commit(why));
  if (!published) abandon();
  return published;
}

void CsvWriter::abandon() {
  file_.abandon();
  sidecar_.abandon();
}

}  // namespace platform::ds
