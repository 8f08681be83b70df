// How a column's values look: the listing's rendering rules for the data
// types, widths, decimals and format names of the output service, and the
// format text the JSON stream shows for a column.
//
// Numbers with decimals 0 to 32 show that many; with 89 or none given the
// decimals are chosen for the whole column so that every value shows up to
// seven significant digits with the decimal points aligned, and whole
// numbers show without decimals. A value whose digits the column's
// decimals would cut (one far smaller than the column's largest) shows
// with decimals of its own, or in E notation where those do not fit.
// Columns named Prob... without a format name of their own show p-values
// ("<.0001"), as the result templates ask.
#pragma once

#include <string>
#include <vector>

#include "platform/output/output_item.h"

namespace platform {

struct ColumnStyle {
  enum Kind { Number, PValue, Integer, Text };
  Kind kind = Number;
  int width = 12;
  int decimals = -1;  // fixed decimals or a decimal code; -1 chosen by column
};

ColumnStyle style_of(const ColumnSpec& column);
// The text over a column: its label, else its name; a matrix's row names
// stand under the matrix's corner text, blank or not.
std::string column_heading(const ColumnSpec& column);
// The column's format as text: "12.4", "BEST12.", "PVALUE6.4", "$9.", "6."
std::string format_text(const ColumnSpec& column);
// Every value of a column as the listing shows it: numbers right-aligned in
// the style's width, texts without trailing blanks. `peers`, when given,
// are the values that choose an automatic column's shared decimals in
// place of its own.
std::vector<std::string> format_cells(const ColumnSpec& column, const std::vector<const Cell*>& cells,
                                      const std::vector<const Cell*>* peers = nullptr);
// The values whose columns share their decimals: every value of a
// symmetric matrix, so that both copies of a value look alike; none where
// each column chooses its own.
std::vector<const Cell*> shared_decimal_cells(const OutputItem& item);

}  // namespace platform
