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
  bool text = false;  // leading text columns name the rows
};

// The columns of each panel, in order. Each panel fits `line` with `gap`
// between its columns unless one column alone is wider. The leading text
// columns (never the last column) start every panel when they take at
// most half the line; the columns under one header group stay in one panel
// when they fit.
std::vector<std::vector<std::size_t>> table_panels(const std::vector<PanelColumn>& columns,
                                                   const std::vector<HeaderSpan>& spans, int line, int gap);

}  // namespace platform
