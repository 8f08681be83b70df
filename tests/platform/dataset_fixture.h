// A host whose WORK library is a fresh temporary folder, with helpers to
// write data set files and read BY groups through the host services.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host/services.h"
#include "support/host_fixture.h"

class DataSetTest : public HostTest {
 protected:
  DataSetTest() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ruva-ds-XXXXXX").string();
    dir_ = mkdtemp(pattern.data());
    host().libraries().set_work(dir_);
  }
  ~DataSetTest() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  void write_file(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
  }
  std::string read_file(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  bool exists(const std::string& name) const { return std::filesystem::exists(dir_ / name); }
  // The names of the files in the WORK folder, sorted.
  std::vector<std::string> files() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  XO_FILE* open(const std::string& name) { return host().datasets().open_input(name); }
  XO_FILE* open_by(const std::string& name, const platform::BySpec& by) {
    XO_FILE* f = open(name);
    if (f && !host().datasets().set_by(f, by)) return nullptr;
    return f;
  }

  // A vector binding the numeric variables `names` of `file` to `cells`.
  XV_VECTOR* bind_numbers(XO_FILE* file, const std::vector<std::string>& names,
                          std::vector<double>* cells) {
    cells->assign(names.size(), 0.0);
    XV_VECTOR* v = nullptr;
    if (xvgeti(file, 2, &v) != 0) return nullptr;
    for (std::size_t i = 0; i < names.size(); ++i) {
      int varnum = 0;
      if (xvfind(file, names[i].c_str(), static_cast<int>(names[i].size()), &varnum, 0) != 0 ||
          xvgetd(v, varnum, 0, &(*cells)[i], 8, 8, 0, 0) != 0)
        return nullptr;
    }
    return xvgete(v) == 0 ? v : nullptr;
  }

  // Reads the rest of the current BY group: one row of `cells` per record.
  std::vector<std::vector<double>> read_group(XO_FILE* file, XV_VECTOR* v,
                                              const std::vector<double>& cells) {
    std::vector<std::vector<double>> rows;
    XO_PARMS parms{};
    parms.file = file;
    while (xybyget(&parms) == 0 && file->current) {
      if (xyvget(v, 0) != 0) break;
      rows.push_back(cells);
    }
    return rows;
  }

  std::filesystem::path dir_;
};
