// Writes a data set file so that it appears whole or not at all (see
// whole_file.h): `complete` finishes it and its description as temporary
// files, and only `publish` moves the two to their final names, under the
// folder's lock, which its caller holds (folder_lock.h). A writer
// destroyed unpublished removes its temporary files, so a failed write
// never leaves a half file behind.
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
  // Completes the file and writes the description `sidecar` beside the
  // file the data go to, unless they go in place (in_place); false with
  // the reason (then nothing new is left behind).
  bool complete(const std::string& sidecar, std::string* why);
  // Moves the completed file and description to their names, with the
  // folder's lock held (folder_lock.h); false with the reason.
  bool publish(std::string* why);
  // Removes the temporary files.
  void abandon();
  // Whether the data go to a device or a stream, written in place and
  // without a description.
  bool in_place() const { return file_.in_place(); }
  // The data file as its look found it (its folder is the one to lock).
  const ResolvedPath& target() const { return file_.target(); }

 private:
  WholeFile file_;
  WholeFile sidecar_;
  std::string line_;
};

// A character value as a CSV field: trailing blanks dropped, quoted when it
// holds a comma, a quote or a line break.
void append_text_field(std::string_view value, std::string* line);

}  // namespace platform::ds
