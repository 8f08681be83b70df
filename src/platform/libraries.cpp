#include "platform/libraries.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

#include "platform/names.h"

namespace platform {

// The current folder by no name of its own, so that its files are named as
// the program names them (x.csv), as the other outputs are.
Libraries::Libraries() { folders_["WORK"] = std::filesystem::path(); }

void Libraries::set_work(const std::filesystem::path& dir) {
  folders_["WORK"] = dir;
}

bool Libraries::define(const std::string& name, const std::filesystem::path& dir) {
  if (!valid_name(name) || name.size() > 8) return false;
  folders_[upper_case(name)] = dir;
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
  name->library = upper_case(lib);
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
  *file = find_file(it->second, name.member + ".csv");
  return true;
}

namespace {

// The names in the open folder `listing` that match `name` without regard
// to case, sorted. Read with the system's calls: the library's directory
// iterator ends the process when an allocation fails inside it, where
// this lets the shortage reach the step.
std::vector<std::string> names_matching(DIR* listing, const std::string& name) {
  std::vector<std::string> matches;
  const std::unique_ptr<DIR, int (*)(DIR*)> folder(listing, &closedir);
  if (!folder) return matches;
  while (const dirent* entry = readdir(folder.get()))
    if (same_name(entry->d_name, name)) matches.emplace_back(entry->d_name);
  std::sort(matches.begin(), matches.end());
  return matches;
}

// Several files that differ only in case: none is preferred over another,
// so the lower-case name decides.
std::string chosen_name(const std::vector<std::string>& matches, const std::string& name) {
  return matches.size() == 1 ? matches.front() : lower_case(name);
}

}  // namespace

std::filesystem::path Libraries::find_file(const std::filesystem::path& dir,
                                           const std::string& name) {
  std::error_code ec;
  std::filesystem::path exact = dir / name;
  if (std::filesystem::exists(exact, ec)) return exact;
  return dir / chosen_name(names_matching(opendir(dir.empty() ? "." : dir.c_str()), name), name);
}

std::string Libraries::find_name(int folder, const std::string& name) {
  struct stat st;
  if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return name;
  const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* entries = listing < 0 ? nullptr : fdopendir(listing);
  if (listing >= 0 && !entries) ::close(listing);
  return chosen_name(names_matching(entries, name), name);
}

std::vector<std::filesystem::path> Libraries::files_named(const std::filesystem::path& dir,
                                                          const std::string& name) {
  std::vector<std::filesystem::path> files;
  for (const std::string& match : names_matching(opendir(dir.empty() ? "." : dir.c_str()), name))
    files.push_back(dir / match);
  return files;
}

}  // namespace platform
