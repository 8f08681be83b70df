// The data sets and utility files of one step. A data set file is loaded
// once per step however often it is opened; every handle stays valid until
// the step ends. Output data sets terminated in the step are held complete
// until then, and published together when the step succeeded; when it
// failed, they are discarded with those never terminated (no file of theirs
// is written) and all storage is released.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "host/dataset_types.h"

namespace platform {

class Libraries;

namespace ds {
struct Table;
class DataSet;
class OutputDataSet;
class Vector;
}  // namespace ds

struct ByVariable {
  std::string name;
  bool descending = false;
};

struct BySpec {
  std::vector<ByVariable> variables;
  bool notsorted = false;
};

class DataSets {
 public:
  explicit DataSets(const Libraries& libraries);
  ~DataSets();
  DataSets(const DataSets&) = delete;
  DataSets& operator=(const DataSets&) = delete;

  // Opens a data set for input by name (`x` or `lib.x`); null after a
  // message when it does not exist or cannot be read.
  XO_FILE* open_input(const std::string& name);
  // Opens a data set for output; null after a message when the name is not
  // valid, or the data set, or another that leads to its file, is already
  // open for output in this step (a device, such as /dev/null, takes any
  // number of them). A data set opened `shared` (one that several
  // statements of a kind name for one output) is the same handle when
  // opened shared again.
  XO_FILE* open_output(const std::string& name, bool shared = false);
  // Sets the BY variables of an input data set; false after a message when
  // one is not in it.
  bool set_by(XO_FILE* input, const BySpec& by);
  // The data set's name as messages show it (LIBRARY.member), or "".
  static std::string name_of(const XO_FILE* file);

  // Holds a completed output data set until the step ends.
  void hold(ds::OutputDataSet* completed) { completed_.push_back(completed); }
  // The step's end for its output data sets: those held are published,
  // those written in place (a pipe, a device) first, then the files in the
  // order they were completed and under their folders' locks, unless the
  // step failed (or fails on the way), when they are discarded with a
  // message each. A signal that stops the run while the files are put in
  // place takes effect after the last.
  void end_outputs(bool step_failed);

  // Vectors and utility files made by the services; the registry owns them.
  XV_VECTOR* adopt(std::unique_ptr<ds::Vector> vector);
  XC_FILE* new_utility_file(std::int32_t record_length);
  // Records a utility file may hold in memory before it moves to a temporary file.
  void set_utility_memory_limit(std::size_t bytes) { utility_memory_limit_ = bytes; }

 private:
  bool resolve(const std::string& text, std::string* display, std::string* file);

  const Libraries& libraries_;
  std::map<std::string, std::shared_ptr<const ds::Table>> tables_;  // by file
  std::map<std::string, XO_FILE*> outputs_;                         // by file
  std::set<std::string> shared_outputs_;                            // files opened shared
  std::vector<std::unique_ptr<ds::DataSet>> data_sets_;
  std::vector<ds::OutputDataSet*> completed_;  // held until the step ends
  std::vector<std::unique_ptr<ds::Vector>> vectors_;
  std::vector<std::unique_ptr<XC_FILE>> utility_files_;
  std::size_t utility_memory_limit_ = std::size_t{64} << 20;
};

}  // namespace platform
