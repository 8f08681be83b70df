#include "platform/output/output_service.h"

#include <algorithm>
#include <iterator>
#include <unordered_set>

#include "platform/graphs/graph_data.h"
#include "platform/host.h"
#include "platform/output/output_render.h"
#include "platform/report/html_report.h"
#include "platform/listing/print_file.h"
#include "platform/listing/visible_text.h"

namespace platform {

namespace {
constexpr int kTitleLines = 10;
}  // namespace

OutputService::OutputService(PrintFile& print, std::ostream* json, int step, GraphSettings graphs)
    : print_(&print), json_(json), step_(step), classes_(this), graphs_(std::move(graphs)) {
  gcb_.destinations = kYolListing | (json ? kYolJson : 0);
  print_->set_header([this] { return page_header(); });
}

OutputService::~OutputService() { print_->set_header(nullptr); }

xobskey OutputService::make_text(std::string text) {
  if (text.empty()) return nullptr;
  if (auto it = text_index_.find(text); it != text_index_.end()) return it->second;
  XOBKEY& key = texts_.emplace_back();
  key.header.clsh = classes_.table(ClassId::Text);
  key.text = std::move(text);
  text_set_.insert(&key);
  text_index_.emplace(key.text, &key);
  return &key;
}

bool OutputService::text_of(const XOBKEY* key, std::string* text) const {
  if (!key) {
    text->clear();
    return true;
  }
  if (!text_set_.count(key)) return false;
  *text = key->text;
  return true;
}

void OutputService::adopt(std::unique_ptr<HostObject> object) {
  handles_.insert(object->handle());
  objects_.push_back(std::move(object));
}

HostObject* OutputService::find(const WOB_OBJ_STR* handle) const {
  if (!handle || !handles_.count(handle)) return nullptr;
  return reinterpret_cast<const ObjectShell*>(handle)->self;
}

void OutputService::set_title(int line, std::string text) {
  if (line < 1 || line > kTitleLines) return;
  clear_titles_from(line);
  titles_.resize(static_cast<std::size_t>(line));
  titles_[static_cast<std::size_t>(line - 1)] = std::move(text);
}

void OutputService::clear_titles_from(int line) {
  if (line < 1) line = 1;
  if (static_cast<std::size_t>(line - 1) < titles_.size()) titles_.resize(static_cast<std::size_t>(line - 1));
}

void OutputService::set_by_group(std::vector<ByValue> by) {
  end_by_group();
  has_by_ = true;
  ++by_number_;
  by_ = std::move(by);
}

void OutputService::clear_by_group() {
  end_by_group();
  has_by_ = false;
  by_.clear();
}

void OutputService::close_group(const std::string& name) {
  auto it = std::find(groups_.rbegin(), groups_.rend(), name);
  if (it != groups_.rend()) groups_.erase(std::next(it).base());
}

std::int32_t OutputService::take_injected(int selector) {
  auto it = injected_.find(selector);
  if (it == injected_.end()) return 0;
  const std::int32_t status = it->second;
  injected_.erase(it);
  return status;
}

std::vector<std::string> OutputService::page_header() const {
  std::vector<std::string> lines;
  for (const std::string& t : titles_) {
    if (t.empty()) {
      lines.emplace_back();
      continue;
    }
    const int margin = print_->centred_margin(static_cast<int>(display_width(t)));
    lines.push_back(std::string(static_cast<std::size_t>(margin - 1), ' ') + t);
  }
  if (!lines.empty()) lines.emplace_back();
  if (has_by_ && !by_.empty()) {
    for (std::string& line : by_lines(by_, print_->linesize(), print_->rule_character()))
      lines.push_back(std::move(line));
    lines.emplace_back();
  }
  return lines;
}

void OutputService::emit(OutputItem item, bool in_listing, const NumberRows* numbers) {
  item.step = step_;
  item.titles = titles_;
  item.has_by = has_by_;
  item.by = by_;
  item.by_number = by_number();
  if (item.groups.empty()) item.groups = groups_;
  if (in_listing) {
    render_listing(item, *print_);
    graph_lines_ = false;
  }
  // The report tells once, when its budget first leaves an output out.
  if (graphs_.report && item.kind != "data" && graphs_.report->add(item))
    Host::current().log().note(graphs_.report->log_note());
  if (json_) {
    write_json(item, *json_, numbers);
    *json_ << '\n';
    json_->flush();
  }
}

void OutputService::end_rows(ViewObject* view) {
  if (!view->ended) view->end = view->data->row_count();
  view->ended = true;
  view->data->shown = std::max(view->data->shown, view->end);
}

void OutputService::emit_view(ViewObject* view) {
  DataObject* data = view->data;
  end_rows(view);
  OutputItem item;
  item.kind = view->data_output ? "data" : "table";
  item.template_path = view->template_path;
  item.name = data->name;
  item.label = data->label.empty() ? data->title : data->label;
  item.columns = data->columns;
  const std::size_t start = std::min(view->start, view->end);
  // Rows kept as numbers are graph data, which only the JSON stream shows:
  // it reads them where they are.
  const NumberRows numbers{&data->numbers, start, view->end};
  if (!data->graph_only) {
    const auto first = data->rows.begin() + static_cast<long>(start);
    const auto last = data->rows.begin() + static_cast<long>(view->end);
    // Rows that nothing reads again move into the output, so that a long
    // table is not held twice.
    if (drawing() || rows_shown_elsewhere(view)) item.rows.assign(first, last);
    else item.rows.assign(std::make_move_iterator(first), std::make_move_iterator(last));
  }
  item.notes = view->notes;
  item.groups = view->groups;
  item.attributes = data->attributes;
  if (!view->path_key.empty()) item.extra["path"] = view->path_key;
  emit(std::move(item), !view->data_output, data->graph_only ? &numbers : nullptr);
}

bool OutputService::rows_shown_elsewhere(const ViewObject* view) const {
  return std::any_of(view->data->views.begin(), view->data->views.end(), [view](const ViewObject* other) {
    return other != view && !other->released && other->start < view->end;
  });
}

void OutputService::release_view(ViewObject* view) {
  view->released = true;
  end_rows(view);
  // Graph data go to the JSON stream only: without one they need no copy.
  // The graphs take rows kept as numbers after the stream has shown them.
  if (!view->data_output || json_) emit_view(view);
  if (drawing()) keep_table(view);
  drop_taken_rows(view->data);
}

void OutputService::emit_factoid(FactoidObject* fact) {
  fact->closed = true;
  OutputItem item;
  item.kind = "factoid";
  item.template_path = fact->template_path;
  item.name = fact->name;
  item.label = fact->label;
  ColumnSpec label_column;
  label_column.name = "Label";
  label_column.label = "Label";
  label_column.data_type = kTypeChars;
  ColumnSpec value_column;
  value_column.name = "Value";
  value_column.label = "Value";
  item.columns = {label_column, value_column};
  for (std::size_t i = 0; i < fact->values.size(); ++i)
    item.rows.push_back({Cell::of_text(fact->labels[i]), fact->values[i]});
  item.value_formats = fact->formats;
  item.attributes = fact->attributes;
  emit(std::move(item));
}

void OutputService::drop_taken_rows(DataObject* data) {
  std::size_t keep_from = data->shown;
  for (const ViewObject* view : data->views)
    if (!view->released) keep_from = std::min(keep_from, view->start);
  if (keep_from == 0) return;
  data->drop_rows(keep_from);
  data->shown -= keep_from;
  for (ViewObject* view : data->views) {
    view->start -= std::min(view->start, keep_from);
    view->end -= std::min(view->end, keep_from);
  }
}

namespace {
// Whether an object can do nothing more: an output object released, a
// table closed with all its output objects released, a fact list closed, a
// group ended, a graph or matrix made.
bool life_over(const HostObject& object) {
  switch (object.kind) {
    case ObjectKind::View: return static_cast<const ViewObject&>(object).released;
    case ObjectKind::Data: {
      const auto& data = static_cast<const DataObject&>(object);
      if (data.state != DataObject::Closed) return false;
      for (const ViewObject* view : data.views)
        if (!view->released) return false;
      return true;
    }
    case ObjectKind::Factoid: return static_cast<const FactoidObject&>(object).closed;
    case ObjectKind::Group: return static_cast<const GroupObject&>(object).ended;
    case ObjectKind::Graph:
    case ObjectKind::Matrix: return true;
    case ObjectKind::Manager: break;
  }
  return false;
}
}  // namespace

void OutputService::end_by_group() {
  views_.clear();
  tables_.clear();
  // File names of the group's graphs carry its number: none comes again.
  if (by_number() > 0) {
    const std::string prefix = "step" + std::to_string(step_) + "_by" + std::to_string(by_number()) + "_";
    std::erase_if(graph_files_, [&](const auto& file) { return file.first.rfind(prefix, 0) == 0; });
  }
  // An object stays while a live object names it as its parent.
  std::unordered_set<const HostObject*> kept;
  for (bool grew = true; grew;) {
    grew = false;
    for (const auto& object : objects_) {
      const bool live = !life_over(*object) || kept.count(object.get());
      if (live && object->parent && kept.insert(object->parent).second) grew = true;
    }
  }
  std::vector<std::unique_ptr<HostObject>> live;
  for (auto& object : objects_) {
    if (!life_over(*object) || kept.count(object.get())) {
      live.push_back(std::move(object));
      continue;
    }
    if (object->kind == ObjectKind::View) {
      auto& views = static_cast<ViewObject*>(object.get())->data->views;
      views.erase(std::remove(views.begin(), views.end(), object.get()), views.end());
    }
    handles_.erase(object->handle());
  }
  objects_.swap(live);
}

void OutputService::finish() {
  print_->end_line(print_->output());
  for (const auto& object : objects_) {
    if (object->kind == ObjectKind::View) {
      auto* view = static_cast<ViewObject*>(object.get());
      if (!view->released) {
        view->released = true;
        emit_view(view);
      }
    } else if (object->kind == ObjectKind::Factoid) {
      auto* fact = static_cast<FactoidObject*>(object.get());
      if (!fact->closed) emit_factoid(fact);
    }
  }
}

}  // namespace platform
