// The output service of a step: text objects, the output objects with their
// class tables, the titles and the BY line, and the two renderings of every
// finished output, the listing and the JSON stream (one object a line).
#pragma once

#include <array>
#include <deque>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/output/output_object_classes.h"
#include "platform/output/output_objects.h"
#include "platform/output/output_render.h"

namespace platform {

class PrintFile;
namespace graphs {
struct GraphTable;
}
namespace report {
class HtmlReport;
}

// Where drawn graphs go: SVG files in a folder, and the HTML report, which
// receives every finished output of the run.
struct GraphSettings {
  std::string folder;                   // "" for no files
  report::HtmlReport* report = nullptr;
};

class OutputService {
 public:
  // `json` receives the JSON stream; null when there is none.
  OutputService(PrintFile& print, std::ostream* json, int step, GraphSettings graphs = {});
  ~OutputService();
  OutputService(const OutputService&) = delete;
  OutputService& operator=(const OutputService&) = delete;

  // Text objects. An empty text is the null text object; equal texts are
  // one object, so that a step's texts take room once whatever the number
  // of its BY groups.
  xobskey make_text(std::string text);
  // The text of a text object ("" for null); false for a pointer that is no
  // text object of this service.
  bool text_of(const XOBKEY* key, std::string* text) const;

  // Objects: registration, lookup by handle, the classes.
  template <class T>
  T* create(ClassId cls) {
    auto object = std::make_unique<T>();
    T* raw = object.get();
    raw->shell.wob.clsh = classes_.table(cls);
    adopt(std::move(object));
    return raw;
  }
  HostObject* find(const WOB_OBJ_STR* handle) const;
  const OutputClasses& classes() const { return classes_; }
  void make_root(wobop block) { block->clsh = classes_.table(ClassId::Root); }
  HostObject* manager() const { return manager_; }
  void set_manager(HostObject* m) { manager_ = m; }

  // Titles (lines 1 to 10) and the BY group shown on every page.
  void set_title(int line, std::string text);
  void clear_titles_from(int line);
  const std::vector<std::string>& titles() const { return titles_; }
  // Entering a BY group, or leaving the last one, ends the one before: its
  // finished objects and its tables behind graphs are let go.
  void set_by_group(std::vector<ByValue> by);
  int by_number() const { return has_by_ ? by_number_ : 0; }
  void clear_by_group();

  // Groups and sections that enclose the outputs made while they are open.
  void open_group(std::string name) { groups_.push_back(std::move(name)); }
  void close_group(const std::string& name);
  const std::vector<std::string>& groups() const { return groups_; }

  // Graphics are on with a JSON stream, SVG files or the HTML report; the
  // last two draw them.
  bool graphics() const { return json_ != nullptr || drawing(); }
  bool drawing() const { return !graphs_.folder.empty() || graphs_.report != nullptr; }

  // The store of tables behind graphs: every output object opened gets a
  // path key; a graph finds the rows under the keys of its path.
  std::string register_view(ViewObject* view);
  // The table under `key`; null when there is none, or when it belongs to
  // an earlier BY group than the graph asking for it.
  const graphs::GraphTable* table_at(const std::string& key);
  // Draws a graph item: its picture, its file and its line in the listing.
  void draw_graph(OutputItem& item);
  YOLGCB* control_block() { return &gcb_; }
  PrintFile& print() { return *print_; }

  // The path of the next output of a table or data object named `name`:
  // the name and its running number in the step, so that every output of
  // the step has a path of its own for the graphs that refer to it.
  std::string next_path_key(const std::string& name) { return name + "#" + std::to_string(++path_counts_[name]); }

  // Renders a finished output on the listing and the JSON stream, which
  // takes the rows of `numbers` when they are given.
  void emit(OutputItem item, bool in_listing = true, const NumberRows* numbers = nullptr);
  // A view's table, when it is released or when the step ends.
  void emit_view(ViewObject* view);
  // Releases an output object: its table is emitted, kept as graph data
  // when graphs are drawn, and its rows let go once no open view needs them.
  void release_view(ViewObject* view);
  // A factoid, when it is closed or when the step ends.
  void emit_factoid(FactoidObject* fact);
  // Renders what is still open at the end of the step.
  void finish();

  // Tests force a failure: the next request `selector` returns `status`.
  void inject_failure(int selector, std::int32_t status) { injected_[selector] = status; }
  std::int32_t take_injected(int selector);
  // Why the last request failed, for diagnostics.
  std::string last_failure;

 private:
  void adopt(std::unique_ptr<HostObject> object);
  // Lets go of the objects whose life is over (released, closed, ended)
  // and of the tables kept for the graphs of the BY group that ended.
  void end_by_group();
  // Ends an output object's rows where its table stands.
  void end_rows(ViewObject* view);
  // Whether an output object not yet released shows some of `view`'s rows.
  bool rows_shown_elsewhere(const ViewObject* view) const;
  // Keeps a released output object's table for the graphs of its BY group.
  void keep_table(ViewObject* view);
  // Drops the rows of `data` that every output object has taken.
  void drop_taken_rows(DataObject* data);
  std::vector<std::string> page_header() const;

  PrintFile* print_;
  std::ostream* json_;
  int step_;
  OutputClasses classes_;
  std::deque<XOBKEY> texts_;
  std::unordered_set<const XOBKEY*> text_set_;
  std::unordered_map<std::string_view, XOBKEY*> text_index_;  // views into texts_
  std::vector<std::unique_ptr<HostObject>> objects_;
  std::unordered_set<const WOB_OBJ_STR*> handles_;
  HostObject* manager_ = nullptr;
  std::vector<std::string> titles_;
  bool has_by_ = false;
  std::vector<ByValue> by_;
  std::vector<std::string> groups_;
  std::map<std::string, int> path_counts_;
  YOLGCB gcb_{};
  std::map<int, std::int32_t> injected_;
  int by_number_ = 0;
  bool graph_lines_ = false;  // the listing's last lines name graph files
  GraphSettings graphs_;
  std::map<std::string, ViewObject*> views_;
  std::map<std::string, std::unique_ptr<graphs::GraphTable>> tables_;
  std::map<std::string, int> graph_files_;  // file stems used, for unique names
};

}  // namespace platform
