// The host's macro variables: named text values that a step can set and
// later steps (and tests) can read. Names are case-blind (kept upper case).
// Variables set during a step are listed in the log when the step ends.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

class MacroVariables {
 public:
  // Sets a variable; false (nothing set) for a name that is not 1 to 32
  // letters, digits and underscores starting with a letter or underscore.
  bool set(std::string_view name, std::string value);
  std::optional<std::string> find(std::string_view name) const;
  // The variables set since the last call, in the order first set, with
  // their current values.
  std::vector<std::pair<std::string, std::string>> take_changes();

 private:
  std::map<std::string, std::string, std::less<>> values_;
  std::vector<std::string> changed_;
};

// A number as the text of a macro variable: whole numbers in full digits,
// others in their shortest round-trip form.
std::string macro_number_text(double value);

}  // namespace platform

// The scope that `xalanch` hands to the module: the task's variables.
struct MACRO_SCOPE {
  platform::MacroVariables* variables;
};
