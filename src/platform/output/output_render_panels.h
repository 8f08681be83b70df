// A table wider than its line split into panels of whole columns, as the
// listing shows it against LINESIZE and the report against the page's width.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/output/output_render_header_spans.h"

namespace platform {

// A column as the split sees it, its width in the caller's unit.
struct PanelColumn {
  int width = 1;
  bool row_header = false;  // says which row a row is (output_render_row_headers.h)
};

// The columns of each panel, in table order. Every panel holds the row
// headers and a run of the other columns that fits `line` with `gap`
// between columns, at least one of them however wide; the columns under one
// header group stay in one panel when they fit.
std::vector<std::vector<std::size_t>> table_panels(const std::vector<PanelColumn>& columns,
                                                   const std::vector<HeaderSpan>& spans, int line, int gap);

}  // namespace platform
