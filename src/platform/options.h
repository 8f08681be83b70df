// The host's system options (LINESIZE, PAGESIZE, CENTER, DEBUG, FORMCHAR,
// STIMER, ...), set on the command line and read by the module through
// `xoptcgt` and `xoptbgt`.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace platform {

class SystemOptions {
 public:
  SystemOptions();

  // Sets an option from "NAME=VALUE", "NAME" (a switch turned on) or
  // "NONAME" (a switch turned off). Returns false for an unknown name or a
  // value the option does not take.
  bool set(const std::string& assignment, std::string* error = nullptr);

  // The option's text, or nullptr when the option does not exist.
  const std::string* text(const std::string& name) const;
  // A switch's value, or nothing when the name is not a switch.
  std::optional<bool> flag(const std::string& name) const;
  int integer(const std::string& name) const;

 private:
  struct Option {
    enum Kind { Text, Integer, Switch } kind;
    std::string value;
    int min = 0, max = 0;
  };
  std::map<std::string, Option> options_;
};

}  // namespace platform
