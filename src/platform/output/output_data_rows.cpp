// The rows of a table: cells, or for graph data only doubles by column.
#include <algorithm>

#include "platform/output/output_objects.h"

namespace platform {

bool DataObject::numeric() const {
  return std::all_of(columns.begin(), columns.end(),
                     [](const ColumnSpec& c) { return c.data_type == kTypeDouble || integer_type(c.data_type); });
}

void DataObject::keep_numbers() {
  graph_only = true;
  numbers.assign(columns.size(), {});
  number_rows = 0;
}

void DataObject::to_cells() {
  if (!graph_only) return;
  rows.assign(number_rows, {});
  for (std::size_t r = 0; r < number_rows; ++r)
    for (std::size_t c = 0; c < columns.size(); ++c) {
      const double v = numbers[c][r];
      rows[r].push_back(integer_type(columns[c].data_type) ? Cell::of_integer(static_cast<long long>(v))
                                                           : Cell::of_number(v));
    }
  graph_only = false;
  numbers.clear();
  number_rows = 0;
}

void DataObject::drop_rows(std::size_t n) {
  n = std::min(n, row_count());
  if (!graph_only) {
    rows.erase(rows.begin(), rows.begin() + static_cast<long>(n));
    if (rows.empty()) rows.shrink_to_fit();
    return;
  }
  for (auto& column : numbers) {
    column.erase(column.begin(), column.begin() + static_cast<long>(n));
    if (column.empty()) column.shrink_to_fit();
  }
  number_rows -= n;
}

}  // namespace platform
