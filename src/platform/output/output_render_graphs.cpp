// The output service's graphs: the store of tables under their path keys,
// and the drawing of each graph request into an SVG picture, a file named
// by step, BY group, graph and parameter, and a line in the listing.
#include <cctype>
#include <filesystem>
#include <limits>

#include "host/missing.h"
#include "platform/datasets/whole_file.h"
#include "platform/graphs/graph_data.h"
#include "platform/graphs/graph_renderer.h"
#include "platform/host.h"
#include "platform/output/output_render.h"
#include "platform/output/output_service.h"
#include "platform/listing/print_file.h"
#include "platform/report/html_report.h"

namespace platform {
namespace {

// A table's rows as the graphs read them: numbers, with missing values and
// texts as NaN. With `take`, rows kept as numbers that the view covers
// whole move to the graph table, leaving the table without rows.
std::unique_ptr<graphs::GraphTable> graph_table(const ViewObject& view, bool take = false) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  auto t = std::make_unique<graphs::GraphTable>();
  DataObject& data = *view.data;
  t->name = data.name;
  t->template_path = view.template_path;
  const std::size_t end = view.ended ? view.end : data.row_count();
  const std::size_t start = std::min(view.start, end);
  const bool whole = take && data.graph_only && start == 0 && end == data.number_rows;
  t->rows = end - start;
  t->columns.resize(data.columns.size());
  for (std::size_t c = 0; c < data.columns.size(); ++c) {
    t->names.push_back(data.columns[c].name);
    t->labels.push_back(data.columns[c].label);
    auto& column = t->columns[c];
    if (whole) {
      column.swap(data.numbers[c]);
      for (double& v : column)
        if (wzmis(v)) v = kNaN;
      continue;
    }
    column.reserve(t->rows);
    for (std::size_t r = start; r < end; ++r) {
      if (data.graph_only) {
        column.push_back(wzmis(data.numbers[c][r]) ? kNaN : data.numbers[c][r]);
        continue;
      }
      const Cell& cell = data.rows[r][c];
      if (cell.kind == Cell::Integer) column.push_back(static_cast<double>(cell.integer));
      else if (cell.kind == Cell::Number && !wzmis(cell.number)) column.push_back(cell.number);
      else column.push_back(kNaN);
    }
  }
  if (whole) data.number_rows = 0;
  return t;
}

// Letters, digits, '-' and '.' as they are; every other run of characters
// becomes one '_'.
std::string file_word(const std::string& text) {
  std::string out;
  for (char c : text) {
    const bool keep = std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.';
    if (keep) out += c;
    else if (!out.empty() && out.back() != '_') out += '_';
  }
  while (!out.empty() && (out.back() == '_' || out.back() == '.')) out.pop_back();
  return out.substr(0, 60);
}

// What tells apart graphs of one name in a BY group: the parameter, the
// parameter pair or the regressor.
std::string graph_subject(const graphs::GraphRequest& r, const std::string& description) {
  if (!r.text("_PARMNAME").empty()) return r.text("_PARMNAME");
  if (!r.text("_PARMNAMEX").empty()) return r.text("_PARMNAMEX") + "-" + r.text("_PARMNAMEY");
  if (r.kind() == "residualplot") return description;
  return {};
}

}  // namespace

std::string OutputService::register_view(ViewObject* view) {
  view->by_number = by_number();
  const std::string key = next_path_key(view->data->name);
  views_[key] = view;
  return key;
}

void OutputService::keep_table(ViewObject* view) {
  auto it = views_.find(view->path_key);
  if (it != views_.end() && it->second == view) tables_[view->path_key] = graph_table(*view, true);
}

const graphs::GraphTable* OutputService::table_at(const std::string& key) {
  auto it = views_.find(key);
  if (it == views_.end() || it->second->by_number != by_number()) return nullptr;
  const ViewObject& view = *it->second;
  auto cached = tables_.find(key);
  // A table still open may grow; it is read again until it is closed.
  if (cached != tables_.end() && view.ended) return cached->second.get();
  auto table = graph_table(view);
  const graphs::GraphTable* t = table.get();
  tables_[key] = std::move(table);
  return t;
}

void OutputService::draw_graph(OutputItem& item) {
  graphs::GraphRequest request;
  request.template_path = item.template_path;
  request.name = item.name;
  request.label = item.label;
  request.description = item.extra.value("description", "");
  for (const auto& key : item.extra["path"]) request.path.push_back(key.get<std::string>());
  request.dynamic = item.extra["dynamic"];

  std::string stem = "step" + std::to_string(step_);
  if (by_number()) stem += "_by" + std::to_string(by_number());
  stem += "_" + file_word(item.name.empty() ? "graph" : item.name);
  const std::string subject = file_word(graph_subject(request, request.description));
  if (!subject.empty()) stem += "_" + subject;
  if (const int n = ++graph_files_[stem]; n > 1) stem += "_" + std::to_string(n);
  request.id = "g-" + stem;

  // A picture neither a file nor the report would take is not drawn.
  if (graphs_.folder.empty() && !graphs_.report->embedding()) return;
  std::string why;
  item.svg = graphs::render_graph(request, [this](const std::string& key) { return table_at(key); }, &why);
  const std::string name = item.name.empty() ? "graph" : item.name;
  // The graphs' lines stand apart from the table before them; a file name
  // longer than the line goes on over the next lines, never cut.
  auto listing_line = [this](const std::string& line) {
    if (!graph_lines_) print_->blank_lines(1);
    graph_lines_ = true;
    for (const std::string& piece : wrap_text(line, print_->linesize())) print_->write_line(piece);
  };
  if (item.svg.empty()) {
    item.graph_note = "The graph " + name + " was not drawn: " + why + ".";
    if (!graphs_.folder.empty()) listing_line(item.graph_note);
    return;
  }
  if (graphs_.folder.empty()) return;
  const std::string file = (std::filesystem::path(graphs_.folder) / (stem + ".svg")).string();
  // A file appears whole or not at all, replacing a link at its name; one
  // that fails is named once, in the log and where the graph stands in the
  // listing.
  if (!ds::write_whole_file(file, item.svg, false, &why, ds::AtLink::Replace)) {
    const std::string note = "The graph " + name + " was not written: " + why + ".";
    Host::current().log().warning(note);
    listing_line(note);
    return;
  }
  item.extra["file"] = file;
  listing_line("Graph " + name + ": " + file);
}

}  // namespace platform
