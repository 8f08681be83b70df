// One output as HTML: a table with its caption and notes, a fact list, a
// message, or a graph's figure.
#pragma once

#include <string>

#include "platform/output/output_item.h"

namespace platform::report {

// The HTML of `item`; `id` is its anchor in the page.
std::string output_html(const OutputItem& item, const std::string& id);
// What the table of contents calls the output.
std::string output_caption(const OutputItem& item);

}  // namespace platform::report
