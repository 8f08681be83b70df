// The description that may accompany a data set file: NAME.meta.json beside
// NAME.csv, giving the data-set type and label and, per variable, its type,
// length and label:
//
//   {"type": "EST     ", "label": "...",
//    "variables": [{"name": "x", "type": "numeric", "label": "..."},
//                  {"name": "s", "type": "character", "length": 12}]}
//
// Every member is optional; variables not listed are described by the data.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/datasets/resolved_path.h"
#include "platform/datasets/table.h"

namespace platform::ds {

struct SidecarVariable {
  std::string name;
  std::optional<VarType> type;
  std::optional<int> length;
  std::optional<std::string> label;
};

struct Sidecar {
  std::optional<std::string> type;
  std::optional<std::string> label;
  std::vector<SidecarVariable> variables;
};

// The description file of data set file `csv`, found like the data file
// beside the file the name leads to: a CSV name that is a symbolic link is
// described beside the link's target, where its data are written.
std::filesystem::path sidecar_path(const std::filesystem::path& csv);
// The description of the data set file `data` as its look found it: found
// and looked at in the very folder that holds the data file.
ResolvedPath sidecar_beside(const ResolvedPath& data);

// Parses description text; false with the reason when it is not valid.
bool parse_sidecar(const std::string& text, Sidecar* out, std::string* error);

// The description of a data set with these variables, type and label.
std::string sidecar_text(const std::vector<Variable>& variables, const std::string& type,
                         const std::string& label);

}  // namespace platform::ds
