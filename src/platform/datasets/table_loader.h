// Loads a data set file into memory: a CSV file whose first line names the
// variables, with its optional description (see sidecar.h). A column is
// numeric when every cell is a number or a missing value, otherwise
// character with the length of its longest value; the description may fix
// a variable's type, length and label, and gives the data set's type and
// label.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "platform/datasets/problem.h"
#include "platform/datasets/table.h"

namespace platform::ds {

// Null with the reason in `problem` when the file cannot be read or is not
// a valid data set. `name` is the data set's name as messages show it.
std::unique_ptr<Table> load_table(const std::string& name, const std::filesystem::path& csv,
                                  Problem* problem);

}  // namespace platform::ds
