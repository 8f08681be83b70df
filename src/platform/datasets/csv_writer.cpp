#include "platform/datasets/csv_writer.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "platform/datasets/sidecar.h"
#include "platform/datasets/value_text.h"

namespace platform::ds {
namespace {

std::filesystem::path temporary_name(const std::filesystem::path& target) {
  static std::atomic<unsigned> counter{0};
  return target.parent_path() / ("." + target.filename().string() + ".tmp" +
                                 std::to_string(::getpid()) + "-" + std::to_string(++counter));
}

std::string system_reason() {
  return std::strerror(errno);
}

}  // namespace

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

CsvWriter::~CsvWriter() {
  abandon();
}

bool CsvWriter::open(const std::filesystem::path& target, const std::vector<Variable>& variables,
                     std::string* why) {
  target_ = target;
  temp_ = temporary_name(target);
  file_ = std::fopen(temp_.c_str(), "wbx");
  if (!file_) {
    *why = "the file " + temp_.string() + " cannot be created: " + system_reason();
    temp_.clear();
    return false;
  }
  static constexpr std::size_t kBuffer = 1 << 20;
  std::setvbuf(file_, nullptr, _IOFBF, kBuffer);
  line_.clear();
  for (std::size_t i = 0; i < variables.size(); ++i) {
    if (i) line_.push_back(',');
    line_ += variables[i].name;
  }
  line_.push_back('\n');
  return put(line_, why);
}

bool CsvWriter::put(const std::string& text, std::string* why) {
  if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() || std::ferror(file_)) {
    *why = "writing " + temp_.string() + " failed: " + system_reason();
    return false;
  }
  return true;
}

bool CsvWriter::write_row(const std::vector<Variable>& variables, const unsigned char* record,
                          std::string* why) {
  if (!file_) {
    *why = "the file is not open";
    return false;
  }
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
  return put(line_, why);
}

bool CsvWriter::publish(const std::string& sidecar, std::string* why) {
  if (!file_) {
    *why = "the file is not open";
    return false;
  }
  const bool flushed = std::fflush(file_) == 0 && ::fsync(::fileno(file_)) == 0;
  std::string reason = flushed ? "" : system_reason();
  const bool closed = std::fclose(file_) == 0;
  if (!closed && reason.empty()) reason = system_reason();
  file_ = nullptr;
  if (!flushed || !closed) {
    *why = "completing " + temp_.string() + " failed: " + reason;
    abandon();
    return false;
  }
  std::filesystem::path side_target = sidecar_path(target_);
  std::filesystem::path side_temp = temporary_name(side_target);
  {
    std::ofstream out(side_temp, std::ios::binary);
    out << sidecar;
    out.close();
    if (!out) {
      *why = "the description " + side_temp.string() + " cannot be written";
      std::error_code ec;
      std::filesystem::remove(side_temp, ec);
      abandon();
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp_, target_, ec);
  if (ec) {
    *why = "renaming " + temp_.string() + " failed: " + ec.message();
    std::filesystem::remove(side_temp, ec);
    abandon();
    return false;
  }
  temp_.clear();
  std::filesystem::rename(side_temp, side_target, ec);
  if (ec) {
    *why = "renaming " + side_temp.string() + " failed: " + ec.message();
    std::filesystem::remove(side_temp, ec);
    return false;
  }
  return true;
}

void CsvWriter::abandon() {
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!temp_.empty()) {
    std::error_code ec;
    std::filesystem::remove(temp_, ec);
    temp_.clear();
  }
}

}  // namespace platform::ds
