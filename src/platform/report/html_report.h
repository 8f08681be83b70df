// The HTML report of a run: every table, fact list, matrix, message and
// graph in output order, under headings for each step and BY group, with a
// table of contents. One self-contained page: inline CSS and inline SVG, no
// script and no external resource.
//
// Each output is turned into HTML as it arrives and goes to a temporary
// file, and so does the table of contents of each BY group once the group
// ends: the report holds no more than one BY group's output in memory
// whatever the size of the run.
//
// The page has a budget: once embedding the next output would take its
// contents and outputs past it, the report embeds no more. The contents
// still list every step and BY group, and where the report stops a note
// says what it left out and where that is, so that the page stays one a
// browser opens whatever the size of the run.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "platform/output/output_item.h"
#include "platform/report/report_spool.h"

namespace platform::report {

// The bytes of contents and outputs a report holds at most.
inline constexpr std::size_t kReportBudget = 50'000'000;

// The report's budget, and the other outputs of the run, where the note
// sends the reader for what the report leaves out.
struct ReportSettings {
  std::size_t budget = kReportBudget;
  std::string file;     // the report's own file, named in the log's note
  std::string listing;  // the listing's file, "" for standard output
  std::string graphs;   // the --graphs folder, "" for none
  std::string json;     // the --json file, "" for none
};

class HtmlReport {
 public:
  explicit HtmlReport(ReportSettings settings = {}) : settings_(std::move(settings)) {}
  // Adds a finished output to the page; true when it is the first output
  // the budget leaves out, for the caller to log `log_note`.
  bool add(const OutputItem& item);
  // Whether outputs are still embedded: false once the budget has left one out.
  bool embedding() const { return !stopped_; }
  // The page, with `title` as its heading (the program files, say).
  std::string page(const std::string& title) const;
  // Writes the page to `file`, whole or not at all; false with the reason
  // when it cannot.
  bool write(const std::string& file, const std::string& title, std::string* why) const;
  // The log's note on where the report stopped embedding outputs.
  std::string log_note() const;

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
  // What the budget left out: how many outputs, from where to where, and
  // the first and last graph file among them.
  struct LeftOut {
    int graphs = 0, others = 0;
    std::string from, to, first_file, last_file;
    std::string closing;  // the end tags of the sections open where the report stopped
  };
  // The anchor of the note where the report stops, to which the contents
  // lead for every step and BY group left out.
  static constexpr char kLeftOutId[] = "left-out";
  void end_group();
  void open_headings(const OutputItem& item);
  // Embeds `item` when the budget allows; false when it does not.
  bool embed(const OutputItem& item);
  void leave_out(const OutputItem& item);
  // The note where the report stops: what it left out and where that is.
  std::string left_out_html() const;
  bool write_page(const std::string& title, const Spool::Sink& sink) const;

  ReportSettings settings_;
  std::vector<Step> steps_;
  Heading group_;  // the BY group open, when `in_by_`
  int step_ = -1, by_ = -1, outputs_ = 0;
  bool in_by_ = false;
  std::vector<std::string> titles_;
  Spool body_, toc_;
  std::size_t toc_size_ = 0;  // the contents' bytes so far, spooled or not
  bool stopped_ = false;      // the budget has left out an output
  LeftOut left_out_;
};

// Text with the HTML special characters escaped.
std::string html_escape(const std::string& text);

}  // namespace platform::report
