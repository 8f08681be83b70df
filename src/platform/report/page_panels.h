// The panels of a table in the report: a table wider than the page is split
// into panels of whole columns, as the listing splits one wider than its
// line, each panel starting with the row headers; a table that fits stays one.
//
// The browser lays the table out; the report can only estimate its columns'
// widths from their characters, at widths per character that the report's
// fonts do not exceed for ordinary text, against the narrowest page the
// report is laid out for: an 800-pixel window (A4 portrait in print holds
// more of the print's smaller type). Long words break (long_words.h),
// numbers never do.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/output/output_item.h"
#include "platform/output/output_render_header_spans.h"

namespace platform::report {

// The columns of each panel of `item`, whose cells stand in `cells` column
// by column as the report shows them.
std::vector<std::vector<std::size_t>> page_panels(const OutputItem& item,
                                                  const std::vector<std::vector<std::string>>& cells,
                                                  const std::vector<HeaderSpan>& spans);

}  // namespace platform::report
