// The HTML report of a run: every table, fact list, matrix, message and
// graph in output order, under headings for each step and BY group, with a
// table of contents. One self-contained page: inline CSS and inline SVG, no
// script and no external resource.
//
// Each output is turned into HTML as it arrives and goes to a temporary
// file, and so does the table of contents of each BY group once the group
// ends: the report holds no more than one BY group's output in memory
// whatever the size of the run.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/output/output_item.h"
#include "platform/report/report_spool.h"

namespace platform::report {

class HtmlReport {
 public:
  // Adds a finished output to the page.
  void add(const OutputItem& item);
  // The page, with `title` as its heading (the program files, say).
  std::string page(const std::string& title) const;
  // Writes the page to `file`, whole or not at all; false with the reason
  // when it cannot.
  bool write(const std::string& file, const std::string& title, std::string* why) const;

 private:
  // A step or a BY group in the table of contents, with its outputs.
  struct Heading {
    std::string id, text;
    std::vector<std::pair<std::string, std::string>> outputs;  // anchor, caption
  };
  // A step: its BY groups' entries stand in `toc_` from `groups_begin`.
  struct Step {
    Heading heading;
    std::size_t groups_begin = 0, groups_end = 0;
  };
  void end_group();
  bool write_page(const std::string& title, const Spool::Sink& sink) const;

  std::vector<Step> steps_;
  Heading group_;  // the BY group open, when `in_by_`
  int step_ = -1, by_ = -1, outputs_ = 0;
  bool in_by_ = false;
  std::vector<std::string> titles_;
  Spool body_, toc_;
};

// Text with the HTML special characters escaped.
std::string html_escape(const std::string& text);

}  // namespace platform::report
