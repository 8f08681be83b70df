// Data-set names and the folders they live in. A one-level name `x` is the
// file x.csv in the WORK library; a two-level name `lib.x` is x.csv in the
// folder given to library `lib`. File names match without regard to case.
// A folder may be the empty path: the current folder.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace platform {

struct DatasetName {
  std::string library;  // upper case; "WORK" for a one-level name
  std::string member;   // as written

  // The name as messages show it: LIBRARY.member.
  std::string display() const { return library + "." + member; }
};

class Libraries {
 public:
  Libraries();
  void set_work(const std::filesystem::path& dir);
  // Defines library `name` as the folder `dir`; false when the name is not valid.
  bool define(const std::string& name, const std::filesystem::path& dir);

  // Splits and checks a data-set name; false with a reason when it is not valid.
  static bool parse(const std::string& text, DatasetName* name, std::string* error);
  // The file that holds the data set; false with a reason when the library is
  // not defined or the name is not valid. The file need not exist.
  bool resolve(const std::string& text, std::filesystem::path* file, std::string* error) const;

  // The file `name` in `dir`: an existing file of exactly that name, else
  // the one existing file whose name differs only in case, else the
  // lower-case name (which need not exist).
  static std::filesystem::path find_file(const std::filesystem::path& dir, const std::string& name);
  // The same name in the folder open as the descriptor `folder`.
  static std::string find_name(int folder, const std::string& name);
  // The existing files in `dir` whose names match `name` without regard to
  // case, sorted.
  static std::vector<std::filesystem::path> files_named(const std::filesystem::path& dir,
                                                        const std::string& name);

 private:
  std::map<std::string, std::filesystem::path> folders_;
};

}  // namespace platform
