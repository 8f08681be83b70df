// The two renderings of a finished output: the listing (a centred table
// with its label, column headers from the labels, panels of whole columns
// when it is wider than the line, headers repeated after a page break, and
// notes below) and one JSON object.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/output/output_item.h"

namespace platform {

class PrintFile;

void render_listing(const OutputItem& item, PrintFile& print);
// Rows [first, last) of a table kept as numbers by column.
struct NumberRows {
  const std::vector<std::vector<double>>* columns = nullptr;
  std::size_t first = 0, last = 0;
};
// Writes the JSON object of an output on one line, without its end of
// line; its rows are those of `numbers` when given, else the item's.
void write_json(const OutputItem& item, std::ostream& out, const NumberRows* numbers = nullptr);
// A BY group as the BY line names it: "name=value ...".
std::string by_text(const std::vector<ByValue>& by);
// The BY line: the BY group's text centred in a rule across the line,
// wrapped over lines of even length when longer than the line, never cut.
std::vector<std::string> by_lines(const std::vector<ByValue>& by, int linesize, char rule);
// Breaks text into lines of at most `width` columns at blanks.
std::vector<std::string> wrap_text(const std::string& text, int width);
// The columns of the widest blank-separated word of `text`.
int longest_word(const std::string& text);

}  // namespace platform
