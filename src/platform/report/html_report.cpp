#include "platform/report/html_report.h"

#include "platform/datasets/whole_file.h"
#include "platform/graphs/svg_document.h"
#include "platform/report/html_blocks.h"
#include "platform/report/report_style.h"

namespace platform::report {
namespace {

std::string by_text(const OutputItem& item) {
  std::string t;
  for (const ByValue& b : item.by) t += (t.empty() ? "" : ", ") + b.name + " = " + b.text;
  return t;
}

// Steps, the BY groups within each and the outputs within each, in order.
struct Heading {
  std::string id, text;
  std::vector<std::pair<std::string, std::string>> outputs;  // anchor, caption
  std::vector<Heading> children;
};

}  // namespace

// HTML and SVG text escape alike; the report inlines both.
std::string html_escape(const std::string& text) { return graphs::xml_escape(text); }

void HtmlReport::add(const OutputItem& item) { items_.push_back(item); }

std::string HtmlReport::page(const std::string& title) const {
  std::string body;
  std::vector<Heading> steps;
  int step = -1, by = -1, n = 0;
  std::vector<std::string> titles;
  bool in_by = false;
  for (const OutputItem& item : items_) {
    if (item.step != step) {
      if (in_by) body += "</section>\n";
      if (step >= 0) body += "</section>\n";
      step = item.step, by = 0, n = 0, in_by = false;
      titles.clear();
      const std::string id = "s" + std::to_string(step);
      steps.push_back({id, "Step " + std::to_string(step), {}, {}});
      body += "<section class=\"step\" id=\"" + id + "\">\n<h2>Step " + std::to_string(step) + "</h2>\n";
    }
    if (item.by_number != by) {
      if (in_by) body += "</section>\n";
      by = item.by_number;
      in_by = by > 0;
      if (in_by) {
        const std::string id = "s" + std::to_string(step) + "-by" + std::to_string(by);
        const std::string text = "BY group " + std::to_string(by) + ": " + by_text(item);
        steps.back().children.push_back({id, text, {}, {}});
        body += "<section class=\"by-group\" id=\"" + id + "\">\n<h3>" + html_escape(text) + "</h3>\n";
      }
    }
    if (item.titles != titles) {
      titles = item.titles;
      std::string t;
      for (const std::string& line : titles)
        if (!line.empty()) t += "<p>" + html_escape(line) + "</p>";
      if (!t.empty()) body += "<div class=\"titles\">" + t + "</div>\n";
    }
    const std::string id = "s" + std::to_string(step) + "-o" + std::to_string(++n);
    Heading& place = in_by ? steps.back().children.back() : steps.back();
    place.outputs.emplace_back(id, output_caption(item));
    body += output_html(item, id);
  }
  if (in_by) body += "</section>\n";
  if (step >= 0) body += "</section>\n";

  auto outputs = [](const Heading& h) {
    if (h.outputs.empty()) return std::string();
    std::string t = "<ol>";
    for (const auto& [id, caption] : h.outputs) t += "<li><a href=\"#" + id + "\">" + html_escape(caption) + "</a></li>";
    return t + "</ol>";
  };
  std::string toc = "<nav class=\"toc\" aria-label=\"Contents\">\n<h2>Contents</h2>\n<ol>\n";
  for (const Heading& s : steps) {
    toc += "<li><a href=\"#" + s.id + "\">" + html_escape(s.text) + "</a>" + outputs(s);
    if (!s.children.empty()) {
      toc += "<ol>";
      for (const Heading& b : s.children)
        toc += "<li><a href=\"#" + b.id + "\">" + html_escape(b.text) + "</a>" + outputs(b) + "</li>";
      toc += "</ol>";
    }
    toc += "</li>\n";
  }
  toc += "</ol>\n</nav>\n";
  if (steps.empty()) toc = "<p class=\"note\">The run produced no output.</p>\n";

  return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
         "<link rel=\"icon\" href=\"data:,\">\n<title>" +
         html_escape(title) + "</title>\n<style>" + report_css() + "</style>\n</head>\n<body>\n<h1>" +
         html_escape(title) + "</h1>\n" + toc + "<main>\n" + body + "</main>\n</body>\n</html>\n";
}

bool HtmlReport::write(const std::string& file, const std::string& title, std::string* why) const {
  return ds::write_whole_file(file, page(title), false, why);
}

}  // namespace platform::report
