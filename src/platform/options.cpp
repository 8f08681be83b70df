#include "platform/options.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace platform {
namespace {
std::string upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
  return s;
}
bool printable_ascii(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](unsigned char c) { return c >= 0x20 && c < 0x7F; });
}
}  // namespace

SystemOptions::SystemOptions() {
  options_["LINESIZE"] = {Option::Integer, "132", 64, 256};
  options_["PAGESIZE"] = {Option::Integer, "60", 15, 32767};
  options_["CENTER"] = {Option::Switch, "1"};
  options_["STIMER"] = {Option::Switch, "0"};
  options_["GENERIC"] = {Option::Switch, "0"};
  options_["DEBUG"] = {Option::Text, ""};
  options_["FORMCHAR"] = {Option::Text, "|----|+|---+=|-/\\<>*"};
}

bool SystemOptions::set(const std::string& assignment, std::string* error) {
  auto eq = assignment.find('=');
  std::string name = upper(assignment.substr(0, eq));
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  auto it = options_.find(name);
  if (eq == std::string::npos) {
    bool on = true;
    if (it == options_.end() && name.size() > 2 && name.compare(0, 2, "NO") == 0) {
      it = options_.find(name.substr(2));
      on = false;
    }
    if (it == options_.end()) return fail("the system option " + name + " is not known");
    if (it->second.kind != Option::Switch) return fail("the system option " + name + " needs a value");
    it->second.value = on ? "1" : "0";
    return true;
  }
  if (it == options_.end()) {
    const bool negated_switch = name.size() > 2 && name.compare(0, 2, "NO") == 0 &&
                                options_.count(name.substr(2)) && options_.at(name.substr(2)).kind == Option::Switch;
    return fail("the system option " + name + (negated_switch ? " takes no value" : " is not known"));
  }
  std::string value = assignment.substr(eq + 1);
  Option& opt = it->second;
  if (opt.kind == Option::Integer) {
    char* end = nullptr;
    long v = std::strtol(value.c_str(), &end, 10);
    if (value.empty() || *end || v < opt.min || v > opt.max)
      return fail(name + "=" + value + " is not an integer from " + std::to_string(opt.min) +
                  " to " + std::to_string(opt.max));
  } else if (name == "FORMCHAR" && !printable_ascii(value)) {
    // The rules repeat a character a byte a column; a byte of a longer
    // UTF-8 character alone is no character at all.
    return fail(name + "=" + value + " is not made of printable ASCII characters");
  } else if (opt.kind == Option::Switch) {
    std::string v = upper(value);
    if (v == "YES" || v == "1" || v == "ON") value = "1";
    else if (v == "NO" || v == "0" || v == "OFF") value = "0";
    else return fail(name + "=" + value + " is not YES or NO");
  }
  opt.value = value;
  return true;
}

const std::string* SystemOptions::text(const std::string& name) const {
  auto it = options_.find(upper(name));
  return it == options_.end() ? nullptr : &it->second.value;
}

std::optional<bool> SystemOptions::flag(const std::string& name) const {
  auto it = options_.find(upper(name));
  if (it == options_.end() || it->second.kind != Option::Switch) return std::nullopt;
  return it->second.value == "1";
}

int SystemOptions::integer(const std::string& name) const {
  const std::string* t = text(name);
  return t ? std::atoi(t->c_str()) : 0;
}

}  // namespace platform
