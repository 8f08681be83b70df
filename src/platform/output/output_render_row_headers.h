// Row headers: the columns that say which row of a table a row is, such as
// an observation's number and ID variables, a parameter's name, a grid
// point's parameter values, an estimate's label, an iteration's number or a
// matrix's row names. The table's template declares them, or the column's
// own role does; every panel of a table split across the line or the page
// starts with them.
#pragma once

#include <vector>

#include "platform/output/output_item.h"

namespace platform {

// One flag per column of the item: true for its row headers.
std::vector<bool> row_header_columns(const OutputItem& item);

// The column of the grid point's number in the grid search's table, which
// says which row a row is where its parameters cannot; the item's column
// count when there is none.
std::size_t grid_point_column(const OutputItem& item);

}  // namespace platform
