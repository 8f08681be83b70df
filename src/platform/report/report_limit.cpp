// What the report says, in the page and in the log, when its budget has
// left outputs out: how many, from where to where, and which of the run's
// other outputs hold them.
#include "platform/report/html_report.h"

namespace platform::report {
namespace {

std::string budget_text(std::size_t budget) {
  if (budget % 1'000'000 == 0) return std::to_string(budget / 1'000'000) + " MB";
  return std::to_string(budget) + " bytes";
}

std::string listing_text(const ReportSettings& s) {
  return s.listing.empty() ? "the listing (standard output)" : "the listing " + s.listing;
}

}  // namespace

std::string HtmlReport::left_out_html() const {
  const LeftOut& l = left_out_;
  std::string what = std::to_string(l.graphs + l.others) + " outputs (" + std::to_string(l.others) +
                     " tables, fact lists and messages, " + std::to_string(l.graphs) + " graphs)";
  std::string text = "The report stops here: it holds at most " + budget_text(settings_.budget) +
                     " of contents and outputs, and the next output would take it past that. Left out: " + what +
                     ", from " + l.from + " to " + l.to + ". The tables, fact lists and messages are in " +
                     listing_text(settings_);
  if (!settings_.json.empty()) text += " and in the JSON file " + settings_.json + ", which holds every output";
  text += ".";
  if (l.graphs > 0 && !l.first_file.empty()) {
    text += " The graphs are SVG files in the folder " + settings_.graphs + ", from " + l.first_file +
            (l.last_file == l.first_file ? "" : " to " + l.last_file) + ".";
  } else if (l.graphs > 0 && settings_.graphs.empty()) {
    text += " The graphs left out are in no file: --graphs DIR writes each graph as an SVG file.";
  }
  text += " The contents above still list every step and BY group; those left out lead here.";
  return "<p id=\"" + std::string(kLeftOutId) + "\" class=\"note\">" + html_escape(text) + "</p>\n";
}

std::string HtmlReport::log_note() const {
  if (!stopped_) return {};
  std::vector<std::string> places{listing_text(settings_)};
  if (!settings_.graphs.empty()) places.push_back("the graph files in " + settings_.graphs);
  if (!settings_.json.empty()) places.push_back("the JSON file " + settings_.json);
  std::string where = places[0];
  for (std::size_t i = 1; i < places.size(); ++i) where += (i + 1 == places.size() ? " and " : ", ") + places[i];
  return "The report" + (settings_.file.empty() ? "" : " " + settings_.file) + " has reached its limit of " +
         budget_text(settings_.budget) + ": the outputs from " + left_out_.from +
         " on are not embedded in it; they are in " + where + ".";
}

}  // namespace platform::report
