// Writes a data set file so that it appears whole or not at all (see
// whole_file.h): only `publish` moves it, with its description, to the
// final names. A writer destroyed unpublished removes its temporary file, so
// a failed write never leaves a half file behind.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/datasets/table.h"
#include "platform/datasets/whole_file.h"

namespace platform::ds {

class CsvWriter {
 public:
  // Creates the temporary file and writes the header line; false with the reason.
  bool open(const std::filesystem::path& target, const std::vector<Variable>& variables,
            std::string* why);
  // Appends one record laid out as `variables` say; false with the reason.
  bool write_row(const std::vector<Variable>& variables, const unsigned char* record,
                 std::string* why);
  // Completes the file and moves it and the description `sidecar` into
  // place; false with the reason (then nothing new is left behind).
  bool publish(const std::string& sidecar, std::string* why);
  // Removes the temporary file.
  void abandon();

 private:
  WholeFile file_;
  std::filesystem::path target_;
  std::string line_;
};

// A character value as a CSV field: trailing blanks dropped, quoted when it
// holds a comma, a quote or a line break.
void append_text_field(std::string_view value, std::string* line);

}  // namespace platform::ds
