#include "platform/datasets/table_loader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <unordered_set>

#include "platform/datasets/csv_reader.h"
#include "platform/datasets/folder_lock.h"
#include "platform/datasets/mapped_file.h"
#include "platform/datasets/sidecar.h"
#include "platform/datasets/value_text.h"
#include "platform/datasets/resolved_path.h"
#include "platform/names.h"

namespace platform::ds {
namespace {

using std::to_string;

std::string_view trailing_blanks_removed(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// What pass 1 learns about one column.
struct ColumnScan {
  bool numeric = true;              // every cell so far a number or missing
  bool forced = false;              // the description fixed the type
  std::int64_t too_large_line = 0;  // first cell beyond the range of a double
  std::string too_large_value;
  std::size_t longest = 0;  // longest value, trailing blanks excluded
  int declared_length = 0;  // from the description, 0 when none
  std::int64_t longest_line = 0;
  std::int64_t text_line = 0;  // the first cell that is not a number
  std::string text_cell;
  std::vector<double> values;  // the column's values while it is numeric
};

Problem csv_fault(const CsvReader& r, const std::filesystem::path& file) {
  int number = r.fault() == CsvFault::UnclosedQuote    ? msg::kUnclosedQuote
               : r.fault() == CsvFault::TextAfterQuote ? msg::kTextAfterQuote
                                                       : msg::kQuoteInField;
  return {number, {to_string(r.line()), file.string()}};
}

// R's write.csv and pandas' to_csv write the row names or the index as a
// first column with an empty header cell. That column is read as character
// under the first of ROWNAME, ROWNAME2, ... that no other column takes.
std::string row_name_column(const std::vector<std::string_view>& fields) {
  std::unordered_set<std::string> taken;
  for (std::string_view f : fields) taken.insert(upper_case(std::string(f)));
  std::string name = "ROWNAME";
  for (int k = 2; taken.count(name); ++k) name = "ROWNAME" + to_string(k);
  return name;
}

bool read_header(CsvReader& reader, const std::filesystem::path& file, Table* table,
                 Problem* problem) {
  std::vector<std::string_view> fields;
  if (!reader.next(fields)) {
    *problem = reader.fault() != CsvFault::None ? csv_fault(reader, file)
                                                : Problem{msg::kNoHeader, {file.string()}};
    return false;
  }
  if (fields.size() > 1 && fields[0].empty()) table->row_name_column = row_name_column(fields);
  std::unordered_set<std::string> seen;  // names in upper case: they match without regard to case
  seen.reserve(fields.size());
  table->variables.reserve(fields.size());
  for (std::string_view f : fields) {
    std::string name = seen.empty() && !table->row_name_column.empty() ? table->row_name_column
                                                                        : std::string(f);
    if (!valid_name(name)) {
      *problem = {msg::kBadColumnName, {file.string(), name}};
      return false;
    }
    if (!seen.insert(upper_case(name)).second) {
      *problem = {msg::kColumnTwice, {file.string(), name}};
      return false;
    }
    Variable& v = table->variables.emplace_back();
    v.name = std::move(name);
  }
  return true;
}

// A data set's file and its description, opened together under the
// folder's lock so that both come from one writer (folder_lock.h); a pipe
// or a device, which no writer replaces, outside it. The file's path is
// looked at once, and the description found in the folder that look
// reached: links are followed only as outputs follow them
// (resolved_path.h), and nothing is read through one that is not.
struct DataSetFiles {
  MappedFile data;
  MappedFile description;
  std::filesystem::path description_path;  // empty when there is none
  std::filesystem::path foreign;           // a description not applied (foreign_description)
  std::string foreign_folder;              // the sticky folder that holds it
};

// Whether `description` stands in a sticky folder that anyone may write
// and belongs neither to this user, nor to the folder's owner, nor to the
// owner of the data set file `data`: there any user may have put it, to
// change how the data are read and what the run's outputs carry.
bool foreign_description(const ResolvedPath& data, const ResolvedPath& description) {
  struct stat folder;
  if (::fstat(description.folder.get(), &folder) != 0) return false;
  const bool shared = (folder.st_mode & (S_ISVTX | S_IWOTH)) == (S_ISVTX | S_IWOTH);
  const uid_t owner = description.status.st_uid;
  return shared && owner != ::geteuid() && owner != folder.st_uid && owner != data.status.st_uid;
}

// Whether the look `found` saw a file that is read as a stream (a pipe, a
// device) rather than mapped.
bool streamed(const ResolvedPath& found) {
  return found.exists && !S_ISREG(found.status.st_mode) && !S_ISDIR(found.status.st_mode);
}

bool open_files(const std::string& name, const std::filesystem::path& csv, DataSetFiles* files,
                Problem* problem) {
  const ResolvedPath data = resolve_path(csv);
  std::string why;
  if (!data.ok()) {
    *problem = {msg::kCannotRead, {name, csv.string(), data.failure()}};
    return false;
  }
  // A pipe or a device is read outside the lock (the data before it is
  // taken, a description once it is let go): its writer may keep it open
  // long after its text, and the runs that write data sets in the folder
  // would wait all that time.
  const bool data_streams = streamed(data);
  if (data_streams && !files->data.open(data, &why)) {
    *problem = {msg::kCannotRead, {name, csv.string(), why}};
    return false;
  }
  std::optional<FolderLock> lock(std::in_place, data, FolderLock::Mode::Shared);
  if (!data_streams && !files->data.open(data, &why)) {
    *problem = {msg::kCannotRead, {name, csv.string(), why}};
    return false;
  }
  const ResolvedPath description = sidecar_beside(data);
  if (description.ok() && !description.exists) return true;
  if (!description.refusal.empty()) {
    *problem = {msg::kCannotRead, {name, description.shown().string(), description.refusal}};
    return false;
  }
  if (foreign_description(data, description)) {
    files->foreign = description.shown();
    files->foreign_folder = description.shown_folder();
    return true;
  }
  if (streamed(description)) lock.reset();
  // One that cannot be opened (a folder, a link another process put there
  // meanwhile) is not read, which says nothing of what it holds.
  if (!files->description.open(description, &why)) {
    *problem = {msg::kCannotRead, {name, description.shown().string(), why}};
    return false;
  }
  files->description_path = description.shown();
  return true;
}

bool apply_description(const DataSetFiles& files, Table* table, std::vector<ColumnScan>* scans,
                       Problem* problem) {
  const std::filesystem::path& path = files.description_path;
  const std::filesystem::path& file = table->file;
  if (path.empty()) return true;
  std::string why;
  Sidecar side;
  if (!parse_sidecar(std::string(files.description.text()), &side, &why)) {
    *problem = {msg::kBadDescription, {path.string(), why}};
    return false;
  }
  // Written after its data, a description is never older than the file it
  // was written with; an older one describes data since changed.
  // (A pipe has no time to compare.)
  const std::int64_t described = files.description.modified(), changed = files.data.modified();
  if (described && changed && described < changed) table->older_description = path;
  if (side.type) table->type = (*side.type + "        ").substr(0, 8);
  // The label fills a blank-padded field, as a text value does: trailing
  // blanks are no part of it, and the writer leaves them out.
  if (side.label) table->label = trailing_blanks_removed(*side.label);
  for (const SidecarVariable& sv : side.variables) {
    int i = table->find(sv.name);
    if (i < 0) {
      *problem = {msg::kDescribedNotInData, {path.string(), sv.name, file.string()}};
      return false;
    }
    ColumnScan& scan = (*scans)[static_cast<std::size_t>(i)];
    if (sv.type) {
      scan.forced = true;
      scan.numeric = *sv.type == VarType::Numeric;
    }
    if (sv.length) scan.declared_length = *sv.length;
    if (sv.label) table->variables[static_cast<std::size_t>(i)].label = *sv.label;
  }
  return true;
}

bool scan_cell(std::string_view cell, std::int64_t line, const std::filesystem::path& file,
               const Variable& v, ColumnScan* scan, Problem* problem) {
  std::size_t length = trailing_blanks_removed(cell).size();
  if (length > scan->longest) {
    scan->longest = length;
    scan->longest_line = line;
  }
  if (!scan->numeric) return true;
  double value = 0;
  switch (read_cell(cell, &value)) {
    case CellKind::Number:
    case CellKind::Missing:
      scan->values.push_back(value);
      return true;
    case CellKind::OutOfRange:
      scan->values.push_back(0);
      if (!scan->too_large_line) {
        scan->too_large_line = line;
        scan->too_large_value = std::string(cell);
      }
      return true;
    case CellKind::Text:
      break;
  }
  if (scan->forced) {
    *problem = {msg::kNotANumber, {to_string(line), file.string(), std::string(cell), v.name}};
    return false;
  }
  scan->numeric = false;
  scan->text_line = line;
  scan->text_cell = std::string(cell);
  std::vector<double>().swap(scan->values);
  return true;
}

// Room for a value per line in each column that may be numeric, so that the
// columns of a large file are not copied as they grow: the lines of the
// first megabyte are counted, and the rest of the file taken to be like it
// (room reserved and not used costs no memory).
void reserve_values(std::string_view text, std::vector<ColumnScan>* scans) {
  const std::string_view head = text.substr(0, std::size_t{1} << 20);
  const auto head_lines = static_cast<double>(std::count(head.begin(), head.end(), '\n') + 1);
  const auto lines = static_cast<std::size_t>(head_lines / static_cast<double>(std::max<std::size_t>(head.size(), 1)) *
                                              static_cast<double>(text.size()) * 1.05) + 16;
  for (ColumnScan& scan : *scans)
    if (scan.numeric) scan.values.reserve(lines);
}

// A record of plain numbers, read by CsvReader::next_numbers: what
// scan_cell learns from each of its cells.
void scan_numbers(const double* values, const std::size_t* lengths, std::int64_t line,
                  std::vector<ColumnScan>* scans) {
  for (std::size_t c = 0; c < scans->size(); ++c) {
    ColumnScan& scan = (*scans)[c];
    if (lengths[c] > scan.longest) {
      scan.longest = lengths[c];
      scan.longest_line = line;
    }
    scan.values.push_back(values[c]);
  }
}

bool all_numeric(const std::vector<ColumnScan>& scans) {
  return std::all_of(scans.begin(), scans.end(), [](const ColumnScan& s) { return s.numeric; });
}

bool scan_rows(CsvReader& reader, Table* table, std::vector<ColumnScan>* scans, Problem* problem) {
  std::vector<std::string_view> fields;
  const std::size_t width = table->variables.size();
  std::vector<double> values(width);
  std::vector<std::size_t> lengths(width);
  bool numbers = all_numeric(*scans);  // records of plain numbers may take the short way
  while (true) {
    if (numbers && reader.next_numbers(width, values.data(), lengths.data())) {
      scan_numbers(values.data(), lengths.data(), reader.line(), scans);
      ++table->rows;
      continue;
    }
    if (!reader.next(fields)) break;
    if (fields.size() != width) {
      *problem = {msg::kFieldCount,
                  {to_string(reader.line()), table->file.string(), to_string(fields.size()),
                   to_string(width)}};
      return false;
    }
    for (std::size_t c = 0; c < width; ++c)
      if (!scan_cell(fields[c], reader.line(), table->file, table->variables[c], &(*scans)[c],
                     problem))
        return false;
    ++table->rows;
    numbers = numbers && all_numeric(*scans);
  }
  if (reader.fault() != CsvFault::None) {
    *problem = csv_fault(reader, table->file);
    return false;
  }
  return true;
}

// Settles each column's type and length from what pass 1 saw.
bool settle_columns(Table* table, const std::vector<ColumnScan>& scans, Problem* problem) {
  for (std::size_t c = 0; c < scans.size(); ++c) {
    const ColumnScan& s = scans[c];
    Variable& v = table->variables[c];
    if (s.numeric) {
      if (s.too_large_line) {
        *problem = {msg::kNumberTooLarge,
                    {to_string(s.too_large_line), table->file.string(), s.too_large_value, v.name}};
        return false;
      }
      v.type = VarType::Numeric;
      continue;
    }
    v.type = VarType::Character;
    v.text_line = s.text_line;
    v.text_cell = s.text_cell;
    if (s.longest > static_cast<std::size_t>(kMaxCharLength) ||
        (s.declared_length && s.longest > static_cast<std::size_t>(s.declared_length))) {
      int limit = s.declared_length ? s.declared_length : kMaxCharLength;
      *problem = {msg::kValueTooLong,
                  {to_string(s.longest_line), table->file.string(), v.name, to_string(s.longest),
                   to_string(limit)}};
      return false;
    }
    v.length =
        s.declared_length ? s.declared_length : std::max<int>(1, static_cast<int>(s.longest));
  }
  table->record_length = lay_out_record(table->variables);
  return true;
}

// Numeric values come from pass 1; only character values need the text
// read again.
void fill_rows(std::string_view text, std::vector<ColumnScan>& scans, Table* table) {
  table->storage.assign(static_cast<std::size_t>(table->rows) * table->record_length / 8, 0.0);
  bool any_text = false;
  for (std::size_t c = 0; c < scans.size(); ++c) {
    const Variable& v = table->variables[c];
    if (v.type != VarType::Numeric) {
      any_text = true;
      continue;
    }
    for (std::int64_t row = 0; row < table->rows; ++row)
      std::memcpy(const_cast<unsigned char*>(table->record(row)) + v.offset,
                  &scans[c].values[static_cast<std::size_t>(row)], 8);
    std::vector<double>().swap(scans[c].values);
  }
  if (!any_text) return;
  CsvReader reader(text);
  std::vector<std::string_view> fields;
  reader.next(fields);  // the header
  for (std::int64_t row = 0; row < table->rows && reader.next(fields); ++row) {
    auto* record = const_cast<unsigned char*>(table->record(row));
    for (std::size_t c = 0; c < fields.size(); ++c) {
      const Variable& v = table->variables[c];
      if (v.type == VarType::Numeric) continue;
      std::string_view s = trailing_blanks_removed(fields[c]);
      std::memset(record + v.offset, ' ', static_cast<std::size_t>(v.length));
      if (!s.empty()) std::memcpy(record + v.offset, s.data(), s.size());
    }
  }
}

}  // namespace

std::unique_ptr<Table> load_table(const std::string& name, const std::filesystem::path& csv,
                                  Problem* problem) {
  auto table = std::make_unique<Table>();
  table->name = name;
  table->file = csv;
  DataSetFiles files;
  if (!open_files(name, csv, &files, problem)) return nullptr;
  table->foreign_description = files.foreign;
  table->foreign_description_folder = files.foreign_folder;
  const std::string_view text = files.data.text();
  CsvReader reader(text);
  if (!read_header(reader, csv, table.get(), problem)) return nullptr;
  std::vector<ColumnScan> scans(table->variables.size());
  if (!table->row_name_column.empty()) scans[0].numeric = false;
  if (!apply_description(files, table.get(), &scans, problem)) return nullptr;
  reserve_values(text, &scans);
  if (!scan_rows(reader, table.get(), &scans, problem) ||
      !settle_columns(table.get(), scans, problem))
    return nullptr;
  fill_rows(text, scans, table.get());
  return table;
}

}  // namespace platform::ds
