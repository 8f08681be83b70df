#include "platform/datasets/registry.h"

#include <sys/stat.h>

#include <system_error>
#include <utility>

#include "platform/datasets/folder_lock.h"
#include "platform/datasets/get_vector.h"
#include "platform/datasets/input_data_set.h"
#include "platform/datasets/link_chain.h"
#include "platform/datasets/output_data_set.h"
#include "platform/datasets/problem.h"
#include "platform/datasets/table_loader.h"
#include "platform/datasets/utility_file.h"
#include "platform/datasets/resolved_path.h"
#include "platform/host.h"
#include "platform/libraries.h"
#include "platform/names.h"
#include "platform/run_stop.h"

namespace platform {
namespace {

// Messages of the host's set 1 about names.
constexpr int kNoSuchDataSet = 2;
constexpr int kNoSuchLibrary = 3;
constexpr int kNameNotValid = 4;

// One key for every name of a file, of one yet to be made too: two
// libraries of one folder, a link that dangles to another data set's name.
std::string file_key(const std::filesystem::path& file) {
  const std::filesystem::path made = ds::made_path(file);
  return (made.empty() ? file : made).string();
}

}  // namespace

DataSets::DataSets(const Libraries& libraries) : libraries_(libraries) {}

DataSets::~DataSets() = default;

bool DataSets::resolve(const std::string& text, std::string* display, std::string* file) {
  DatasetName name;
  if (!Libraries::parse(text, &name, nullptr)) {
    Host::current().log_message(1, kNameNotValid, text.c_str());
    return false;
  }
  std::filesystem::path path;
  if (!libraries_.resolve(text, &path, nullptr)) {
    Host::current().log_message(1, kNoSuchLibrary, name.library.c_str(), name.library.c_str());
    return false;
  }
  *display = name.display();
  *file = path.string();
  const std::vector<std::filesystem::path> same = Libraries::files_named(path.parent_path(), name.member + ".csv");
  if (same.size() > 1) {
    ds::log_problem({ds::msg::kCaseClash, {*display, same[0].string(), same[1].string()}});
    return false;
  }
  return true;
}

XO_FILE* DataSets::open_input(const std::string& text) {
  std::string display, file;
  if (!resolve(text, &display, &file)) return nullptr;
  // Looked at name by name, as the load looks, so that a path longer than
  // the system takes whole is found too; a link refused on the way is left
  // to the load to name.
  if (const ds::ResolvedPath found = ds::resolve_path(file); !found.exists && found.refusal.empty()) {
    Host::current().log_message(1, kNoSuchDataSet, display.c_str(), file.c_str());
    return nullptr;
  }
  std::shared_ptr<const ds::Table>& table = tables_[file_key(file)];
  if (!table) {
    ds::Problem problem;
    table = ds::load_table(display, file, &problem);
    if (!table) {
      tables_.erase(file_key(file));
      ds::log_problem(problem);
      return nullptr;
    }
    if (!table->row_name_column.empty())
      ds::log_problem({ds::msg::kRowNames, {display, table->row_name_column}});
    if (!table->older_description.empty())
      ds::log_problem({ds::msg::kOlderDescription, {table->older_description.string(), file}});
    if (!table->foreign_description.empty())
      ds::log_problem({ds::msg::kForeignDescription,
                       {table->foreign_description.string(), table->foreign_description_folder, file}});
  }
  if (auto out = outputs_.find(file_key(file)); out != outputs_.end())
    ds::DataSet::output(out->second)->replaces_input(display);
  data_sets_.push_back(std::make_unique<ds::InputDataSet>(table));
  return data_sets_.back()->handle();
}

XO_FILE* DataSets::open_output(const std::string& text, bool shared) {
  std::string display, file;
  if (!resolve(text, &display, &file)) return nullptr;
  std::string key = file_key(file);
  // A device (/dev/null) takes every data set led to it, each its own.
  if (const ds::ResolvedPath found = ds::resolve_path(file);
      found.exists && (S_ISCHR(found.status.st_mode) || S_ISBLK(found.status.st_mode)))
    key += "\n" + upper_case(display);
  if (auto open = outputs_.find(key); open != outputs_.end()) {
    if (shared && shared_outputs_.count(key)) return open->second;
    const std::string first = ds::DataSet::from(open->second)->name();
    if (same_name(first, display))
      ds::log_problem({ds::msg::kOutputTwice, {display}});
    else
      ds::log_problem({ds::msg::kOneFileTwice, {first, display, ds::followed_link(file).string()}});
    return nullptr;
  }
  if (shared) shared_outputs_.insert(key);
  auto out = std::make_unique<ds::OutputDataSet>(display, file);
  // The input's own name: a link at the output's name may lead to it.
  if (auto in = tables_.find(key); in != tables_.end()) out->replaces_input(in->second->name);
  data_sets_.push_back(std::move(out));
  return outputs_[key] = data_sets_.back()->handle();
}

bool DataSets::set_by(XO_FILE* input, const BySpec& by) {
  ds::InputDataSet* in = ds::DataSet::input(input);
  if (!in) return false;
  ds::ByPlan plan;
  plan.notsorted = by.notsorted;
  for (const ByVariable& v : by.variables) {
    int i = in->table().find(v.name);
    if (i < 0) {
      ds::log_problem({ds::msg::kByVariableMissing, {v.name, in->name()}});
      return false;
    }
    plan.keys.push_back({i, v.descending});
  }
  in->set_by(std::move(plan));
  return true;
}

std::string DataSets::name_of(const XO_FILE* file) {
  const ds::DataSet* d = ds::DataSet::from(file);
  return d ? d->name() : std::string();
}

void DataSets::end_outputs(bool step_failed) {
  const std::vector<ds::OutputDataSet*> held = std::exchange(completed_, {});
  if (step_failed) {
    for (ds::OutputDataSet* out : held) out->discard();
    return;
  }
  // Once one fails, the rest are discarded.
  const auto put_in_place = [&step_failed](ds::OutputDataSet* out) {
    if (step_failed)
      out->discard();
    else
      step_failed = out->publish() != 0;
  };
  // Those written in place first, where a signal still stops the run at
  // once: a pipe whose reader stalls would otherwise keep it from stopping.
  std::vector<ds::OutputDataSet*> renamed;
  for (ds::OutputDataSet* out : held) {
    if (out->in_place()) put_in_place(out);
    else renamed.push_back(out);
  }
  // Every folder's lock first: a signal that comes while the run waits for
  // one still stops it with the data sets as they were. Then the renames,
  // all of them before a signal takes effect.
  std::vector<const ds::ResolvedPath*> files;
  for (const ds::OutputDataSet* out : renamed) files.push_back(&out->target());
  const ds::FolderLocks locks(files);
  const StopHold hold;
  for (ds::OutputDataSet* out : renamed) put_in_place(out);
}

XV_VECTOR* DataSets::adopt(std::unique_ptr<ds::Vector> vector) {
  vectors_.push_back(std::move(vector));
  return vectors_.back()->handle();
}

XC_FILE* DataSets::new_utility_file(std::int32_t record_length) {
  utility_files_.push_back(std::make_unique<XC_FILE>(record_length, utility_memory_limit_));
  return utility_files_.back().get();
}

}  // namespace platform
