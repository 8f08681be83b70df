#include "platform/libraries.h"

#include <algorithm>
#include <cctype>

namespace platform {
namespace {
std::string upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
  return s;
}

// A name: a letter or underscore, then letters, digits or underscores, at
// most 32 characters.
bool valid_name(const std::string& s) {
  if (s.empty() || s.size() > 32) return false;
  if (!(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_')) return false;
  return std::all_of(s.begin(), s.end(),
                     [](unsigned char c) { return std::isalnum(c) || c == '_'; });
}
}  // namespace

Libraries::Libraries() { folders_["WORK"] = std::filesystem::current_path(); }

void Libraries::set_work(const std::filesystem::path& dir) { folders_["WORK"] = dir; }

bool Libraries::define(const std::string& name, const std::filesystem::path& dir) {
  if (!valid_name(name) || name.size() > 8) return false;
  folders_[upper(name)] = dir;
  return true;
}

bool Libraries::parse(const std::string& text, DatasetName* name, std::string* error) {
  auto dot = text.find('.');
  std::string lib = dot == std::string::npos ? "WORK" : text.substr(0, dot);
  std::string member = dot == std::string::npos ? text : text.substr(dot + 1);
  if (!valid_name(lib) || lib.size() > 8 || !valid_name(member)) {
    if (error) *error = "the data set name \"" + text + "\" is not valid";
    return false;
  }
  name->library = upper(lib);
  name->member = member;
  return true;
}

bool Libraries::resolve(const std::string& text, std::filesystem::path* file,
                        std::string* error) const {
  DatasetName name;
  if (!parse(text, &name, error)) return false;
  auto it = folders_.find(name.library);
  if (it == folders_.end()) {
    if (error) *error = "the library " + name.library + " is not defined";
    return false;
  }
  // Files are found whatever the case of the name as written: an existing
  // file of any case wins, else the lower-case name is used.
  std::filesystem::path exact = it->second / (name.member + ".csv");
  std::filesystem::path lower = it->second / ([&] {
    std::string m = name.member;
    std::transform(m.begin(), m.end(), m.begin(), [](unsigned char c) { return std::tolower(c); });
    return m + ".csv";
  }());
  *file = std::filesystem::exists(exact) ? exact : lower;
  return true;
}

}  // namespace platform
