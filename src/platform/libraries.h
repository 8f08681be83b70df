// Data-set names and the folders they live in. A one-level name `x` is the
// file x.csv in the WORK library; a two-level name `lib.x` is x.csv in the
// folder given to library `lib`.
#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace platform {

struct DatasetName {
  std::string library;  // upper case; "WORK" for a one-level name
  std::string member;   // as written
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

 private:
  std::map<std::string, std::filesystem::path> folders_;
};

}  // namespace platform
