#include "platform/output/output_render_row_headers.h"

#include <algorithm>
#include <bit>
#include <cstdint>

#include "platform/names.h"

namespace platform {
namespace {

struct RowHeaderRule {
  const char* template_path;
  const char* column;
};

// The row headers that the templates declare by column name.
constexpr RowHeaderRule kRules[] = {
    {"stat.ruva.IterHistory", "Iter"},
    {"stat.ruva.IterHistory", "Esttype"},  // the optimiser's own rows
    {"stat.ruva.IterHistory", "Iteration"},
    {"stat.ruva.ANOVA", "Source"},
    {"stat.ruva.ParameterEstimates", "Parameter"},
    {"stat.ruva.AdditionalEstimates", "Label"},
    {"stat.ruva.Contrasts", "Label"},
    {"stat.ruva.OutputStatistics", "Observation"},
};

// Roles that make a column a row header in any table: a matrix's row
// names and the ID variables.
constexpr const char* kRoles[] = {"rowname", "IDNumVariable", "IDCharVariable"};

// Whether column `c` holds more than one value over the rows.
bool varies(const OutputItem& item, std::size_t c) {
  const Cell* first = nullptr;
  for (const auto& row : item.rows) {
    if (c >= row.size()) continue;
    const Cell& cell = row[c];
    if (!first) first = &cell;
    else if (cell.kind != first->kind || std::bit_cast<std::uint64_t>(cell.number) != std::bit_cast<std::uint64_t>(first->number) ||
             cell.integer != first->integer || cell.text != first->text)
      return true;
  }
  return false;
}

bool declared(const std::string& templ, const ColumnSpec& column) {
  for (const char* role : kRoles)
    if (column.role == role) return true;
  for (const RowHeaderRule& rule : kRules)
    if (same_name(templ, rule.template_path) && same_name(column.name, rule.column)) return true;
  return false;
}

}  // namespace

std::vector<bool> row_header_columns(const OutputItem& item) {
  std::vector<bool> headers;
  headers.reserve(item.columns.size());
  for (const ColumnSpec& column : item.columns) headers.push_back(declared(item.template_path, column));
  // The grid search's table has the iteration history's template without
  // its iteration's number: a grid point is the values of the parameters
  // that vary over the table's rows.
  if (same_name(item.template_path, "stat.ruva.IterHistory") &&
      std::find(headers.begin(), headers.end(), true) == headers.end())
    for (std::size_t i = 0; i < item.columns.size(); ++i)
      headers[i] = item.columns[i].role == "parameter" && varies(item, i);
  return headers;
}

std::size_t grid_point_column(const OutputItem& item) {
  std::size_t c = 0;
  while (c < item.columns.size() && item.columns[c].role != "gridpoint") ++c;
  return c;
}

}  // namespace platform
