// A data set open for output: its file, type and label, the variable vector
// that defines its variables and gathers its rows, and the writer that puts
// the rows into the file. The file is completed when the vector is
// terminated and every row was written, and appears under its name only
// when the step then ends without failing: a failed step writes none of its
// data sets.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <utility>

#include "platform/datasets/csv_writer.h"
#include "platform/datasets/data_set.h"

namespace platform::ds {

class PutVector;

class OutputDataSet : public DataSet {
 public:
  OutputDataSet(std::string name, std::filesystem::path file);
  ~OutputDataSet() override;

  const std::filesystem::path& file() const { return file_; }
  // The file as the writer's look found it, once its rows are begun.
  const ResolvedPath& target() const { return writer_.target(); }
  // Whether it goes to a device, a pipe or a stream rather than a file.
  bool in_place() const { return writer_.in_place(); }
  std::string& type() { return type_; }  // 8 characters
  std::string& label() { return label_; }

  // The vector, made on the first call; null when one was made before.
  PutVector* open_vector(int expected_variables);
  PutVector* vector() const { return vector_.get(); }

  // Creates the file and writes its header (the vector's definition ended).
  int begin_rows();
  // Appends the vector's gathered record; 0 or kXoWriteFailed.
  int append();
  // Completes the file, to be published when the step ends (the registry
  // holds it until then); 0 or kXoWriteFailed after a message.
  int finish();
  // Moves the completed file to its name: 0, or kXoWriteFailed after a
  // message and with the step failed.
  int publish();
  // Drops the completed file: the step failed, and says so.
  void discard();

  std::int64_t rows() const { return rows_; }
  // Why rows cannot be written, or empty.
  const std::string& failure() const { return failure_; }
  // The file is also the step's input `input` (WORK.bod), which is read
  // whole before this replaces it; the log says so when it does.
  void replaces_input(std::string input) { replaced_input_ = std::move(input); }
  // True the first time only: a data set's failed rows are reported once,
  // and not at all once the data set has said why it is not written.
  bool first_row_report() { return !failure_logged_ && !std::exchange(row_failure_reported_, true); }
  // Logs why the data set was not written, once, and fails the step.
  int report_failure();

 private:
  static int write_operation(XO_PARMS* parms);
  void fail(std::string why);

  std::filesystem::path file_;
  std::string type_ = "        ";
  std::string label_;
  std::unique_ptr<PutVector> vector_;
  CsvWriter writer_;
  bool writing_ = false;
  bool completed_ = false;  // finished and waiting for the end of the step
  std::string failure_;  // why the data set cannot be written, once known
  bool failure_logged_ = false;
  bool row_failure_reported_ = false;
  std::string replaced_input_;  // empty when no input is replaced
  std::int64_t rows_ = 0;
};

inline OutputDataSet* DataSet::output(const XO_FILE* file) {
  DataSet* ds = from(file);
  return ds && ds->output_ ? static_cast<OutputDataSet*>(ds) : nullptr;
}

}  // namespace platform::ds
