// The HTML report of a run: every table, fact list, matrix, message and
// graph in output order, under headings for each step and BY group, with a
// table of contents. One self-contained page: inline CSS and inline SVG, no
// script and no external resource.
#pragma once

#include <string>
#include <vector>

#include "platform/output/output_item.h"

namespace platform::report {

class HtmlReport {
 public:
  // Keeps a finished output (a copy) for the page.
  void add(const OutputItem& item);
  // The page, with `title` as its heading (the program files, say).
  std::string page(const std::string& title) const;
  // Writes the page to `file`, whole or not at all; false with the reason
  // when it cannot.
  bool write(const std::string& file, const std::string& title, std::string* why) const;

 private:
  std::vector<OutputItem> items_;
};

// Text with the HTML special characters escaped.
std::string html_escape(const std::string& text);

}  // namespace platform::report
