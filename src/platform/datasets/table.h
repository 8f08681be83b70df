// A data set held in memory: its variables and its records. A record is a
// fixed-length block: each numeric variable a double at a multiple of 8,
// then the character variables blank-padded to their lengths. The records
// never move once loaded, so a record pointer stays valid for the step.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace platform::ds {

enum class VarType : std::int16_t { Numeric = 1, Character = 2 };

inline constexpr int kMaxCharLength = 32767;

struct Variable {
  std::string name;
  VarType type = VarType::Numeric;
  int length = 8;  // bytes in the record
  std::string label;
  int offset = 0;  // bytes from the start of the record
  // Why a character variable of a loaded file is character: its first cell
  // that is not a number, or line 0 when the description says so.
  std::int64_t text_line = 0;
  std::string text_cell;
};

// Places numeric variables first, each at a multiple of 8, then the
// character ones; returns the record length, a multiple of 8.
std::size_t lay_out_record(std::vector<Variable>& variables);

struct Table {
  std::string name;  // as messages show it, e.g. WORK.growth
  std::filesystem::path file;
  std::vector<Variable> variables;
  std::size_t record_length = 8;
  std::int64_t rows = 0;
  std::vector<double> storage;    // rows * record_length bytes, 8-byte aligned
  std::string type = "        ";  // the data-set type, 8 characters
  std::string label;
  // The name given to a first column whose header cell is empty (the row
  // names or index that R and pandas write); empty when there is none.
  std::string row_name_column;
  // The description when it is older than the file (the data were changed
  // after it was written); empty otherwise.
  std::filesystem::path older_description;
  // The description that was not applied, being another user's in a
  // sticky folder (table_loader.h), and that folder; empty otherwise.
  std::filesystem::path foreign_description;
  std::string foreign_description_folder;

  const unsigned char* record(std::int64_t row) const {
    return reinterpret_cast<const unsigned char*>(storage.data()) +
           static_cast<std::size_t>(row) * record_length;
  }
  // The row of a record pointer, or -1 when it is not one of this table's.
  std::int64_t row_of(const void* record) const;
  // The 0-based index of the variable, or -1.
  int find(std::string_view name) const;
};

// A record's value of variable `v` as text for messages.
std::string value_text(const Variable& v, const unsigned char* record);

}  // namespace platform::ds
