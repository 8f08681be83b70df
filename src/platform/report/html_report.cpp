#include "platform/report/html_report.h"

#include <filesystem>
#include <string_view>

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

// An output's line in the contents.
std::string output_entry(const std::string& anchor, const std::string& caption) {
  return "<li><a href=\"#" + anchor + "\">" + html_escape(caption) + "</a></li>";
}

// A heading's link and the list of its outputs' links.
std::string toc_entry(const std::string& id, const std::string& text,
                      const std::vector<std::pair<std::string, std::string>>& outputs) {
  std::string t = "<a href=\"#" + id + "\">" + html_escape(text) + "</a>";
  if (outputs.empty()) return t;
  t += "<ol>";
  for (const auto& [anchor, caption] : outputs) t += output_entry(anchor, caption);
  return t + "</ol>";
}

std::string group_entry(const std::string& id, const std::string& text,
                        const std::vector<std::pair<std::string, std::string>>& outputs) {
  return "<li>" + toc_entry(id, text, outputs) + "</li>";
}

// The bytes a heading takes in the contents, with room for its list's tags.
std::size_t heading_size(const std::string& id, const std::string& text) {
  return toc_entry(id, text, {}).size() + std::string("<li><ol></ol></li>\n").size();
}

}  // namespace

// HTML and SVG text escape alike; the report inlines both.
std::string html_escape(const std::string& text) { return graphs::xml_escape(text); }

// Closes the open BY group's section and writes its entry of the contents.
void HtmlReport::end_group() {
  if (!in_by_) return;
  if (!stopped_) body_.append("</section>\n");
  toc_.append(group_entry(group_.id, group_.text, group_.outputs));
  steps_.back().groups_end = toc_.size();
  group_ = {};
  in_by_ = false;
}

// Opens the step's and the BY group's headings when `item` starts them;
// once the report has stopped, in the contents only, leading to the note.
void HtmlReport::open_headings(const OutputItem& item) {
  if (item.step != step_) {
    end_group();
    if (step_ >= 0 && !stopped_) body_.append("</section>\n");
    step_ = item.step, by_ = 0, outputs_ = 0;
    titles_.clear();
    const std::string id = "s" + std::to_string(step_), text = "Step " + std::to_string(step_);
    steps_.push_back({{stopped_ ? kLeftOutId : id, text, {}}, toc_.size(), toc_.size()});
    toc_size_ += heading_size(id, text);
    if (!stopped_) body_.append("<section class=\"step\" id=\"" + id + "\">\n<h2>" + text + "</h2>\n");
  }
  if (item.by_number == by_) return;
  end_group();
  by_ = item.by_number;
  in_by_ = by_ > 0;
  if (!in_by_) return;
  const std::string id = "s" + std::to_string(step_) + "-by" + std::to_string(by_);
  group_ = {stopped_ ? kLeftOutId : id, "BY group " + std::to_string(by_) + ": " + by_text(item), {}};
  toc_size_ += heading_size(group_.id, group_.text);
  if (!stopped_)
    body_.append("<section class=\"by-group\" id=\"" + id + "\">\n<h3>" + html_escape(group_.text) + "</h3>\n");
}

bool HtmlReport::embed(const OutputItem& item) {
  std::string titles;
  if (item.titles != titles_) {
    for (const std::string& line : item.titles)
      if (!line.empty()) titles += "<p>" + html_escape(line) + "</p>";
    if (!titles.empty()) titles = "<div class=\"titles\">" + titles + "</div>\n";
  }
  const std::string id = "s" + std::to_string(step_) + "-o" + std::to_string(outputs_ + 1);
  const std::string caption = output_caption(item), html = output_html(item, id);
  const std::size_t entry = output_entry(id, caption).size();
  if (body_.size() + toc_size_ + titles.size() + html.size() + entry > settings_.budget) return false;
  titles_ = item.titles;
  ++outputs_;
  body_.append(titles);
  (in_by_ ? group_ : steps_.back().heading).outputs.emplace_back(id, caption);
  toc_size_ += entry;
  body_.append(html);
  return true;
}

void HtmlReport::leave_out(const OutputItem& item) {
  std::string at = "step " + std::to_string(item.step);
  if (item.by_number > 0) at += ", BY group " + std::to_string(item.by_number) + " (" + by_text(item) + ")";
  if (left_out_.from.empty()) left_out_.from = at;
  left_out_.to = std::move(at);
  if (item.kind != "graph") {
    ++left_out_.others;
    return;
  }
  ++left_out_.graphs;
  const std::string file = std::filesystem::path(item.extra.value("file", std::string())).filename().string();
  if (file.empty()) return;
  if (left_out_.first_file.empty()) left_out_.first_file = file;
  left_out_.last_file = file;
}

bool HtmlReport::add(const OutputItem& item) {
  open_headings(item);
  if (!stopped_ && embed(item)) return false;
  const bool first = !stopped_;
  if (first) {
    stopped_ = true;
    left_out_.closing = std::string(in_by_ ? "</section>\n" : "") + "</section>\n";
  }
  leave_out(item);
  return first;
}

bool HtmlReport::write_page(const std::string& title, const Spool::Sink& sink) const {
  auto put = [&](const std::string& text) { sink(text.data(), text.size()); };
  put("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      "<link rel=\"icon\" href=\"data:,\">\n<title>" +
      html_escape(title) + "</title>\n<style>" + report_css() + "</style>\n</head>\n<body>\n<h1>" +
      html_escape(title) + "</h1>\n");
  bool ok = true;
  if (steps_.empty()) {
    put("<p class=\"note\">The run produced no output.</p>\n");
  } else {
    put("<nav class=\"toc\" aria-label=\"Contents\">\n<h2>Contents</h2>\n<ol>\n");
    for (const Step& s : steps_) {
      const bool open = in_by_ && &s == &steps_.back();
      put("<li>" + toc_entry(s.heading.id, s.heading.text, s.heading.outputs));
      if (s.groups_end > s.groups_begin || open) {
        put("<ol>");
        ok = toc_.read(s.groups_begin, s.groups_end, sink) && ok;
        if (open) put(group_entry(group_.id, group_.text, group_.outputs));
        put("</ol>");
      }
      put("</li>\n");
    }
    put("</ol>\n</nav>\n");
  }
  put("<main>\n");
  ok = body_.read(0, body_.size(), sink) && ok;
  if (stopped_) put(left_out_html() + left_out_.closing);
  else put(std::string(in_by_ ? "</section>\n" : "") + (step_ >= 0 ? "</section>\n" : ""));
  put("</main>\n</body>\n</html>\n");
  return ok;
}

std::string HtmlReport::page(const std::string& title) const {
  std::string page;
  write_page(title, [&](const char* data, std::size_t size) { page.append(data, size); });
  return page;
}

bool HtmlReport::write(const std::string& file, const std::string& title, std::string* why) const {
  // The page is assembled from the spool into a temporary file, which
  // takes the report's name (a link there included) only once it is whole.
  ds::WholeFile out;
  if (!out.open(file, why, ds::AtLink::Replace)) return false;
  bool written = true;
  const bool read = write_page(title, [&](const char* data, std::size_t size) {
    written = written && out.write(std::string_view(data, size), why);
  });
  if (!written) return false;
  if (!read) {
    *why = "writing " + file + " failed: " + (body_.error().empty() ? toc_.error() : body_.error());
    return false;
  }
  return out.finish(false, why) && out.commit(why);
}

}  // namespace platform::report
