// Header groups: a text that a table's template shows over a run of its
// columns (the confidence level over a pair of limits). The procedure sets
// the text as a table attribute; the template says which columns it spans.
#pragma once

#include <string>
#include <vector>

#include "platform/output/output_item.h"

namespace platform {

struct HeaderSpan {
  std::string text;
  std::size_t first = 0, last = 0;  // column indices, first <= last
};

// The spans of the item whose attribute is set and whose columns it has, in
// column order.
std::vector<HeaderSpan> header_spans(const OutputItem& item);

}  // namespace platform
