// The output service's objects. Each begins (through its shell) with the
// host-object header whose class table the module's dispatcher reads; the
// C++ object behind a header is found through the service's registry, so a
// pointer the service did not hand out is refused, never followed.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "host/object_methods.h"
#include "platform/output/output_item.h"

// A text object: a literal, a catalogue message or an output path key.
struct XOBKEY {
  WOB_OBJ_STR header;
  std::string text;
};

namespace platform {

struct HostObject;
struct ObjectShell {
  WOB_OBJ_STR wob;  // first, so that a wobop is the shell's address
  HostObject* self;
};

enum class ObjectKind { Manager, Data, Factoid, View, Group, Graph, Matrix };

struct HostObject {
  explicit HostObject(ObjectKind k) : kind(k) { shell.self = this; }
  virtual ~HostObject() = default;
  HostObject(const HostObject&) = delete;
  HostObject& operator=(const HostObject&) = delete;
  wobop handle() { return &shell.wob; }

  ObjectShell shell{};
  ObjectKind kind;
  HostObject* parent = nullptr;
  std::map<std::string, WOB_PARM_BLK_STR> values;  // values under text keys
};

// The output manager: the sections (request 446) open on it.
struct ManagerObject : HostObject {
  ManagerObject() : HostObject(ObjectKind::Manager) {}
  std::vector<std::string> sections;
};

struct ViewObject;

// A table: columns bound to value cells, rows read when emitted.
struct DataObject : HostObject {
  DataObject() : HostObject(ObjectKind::Data) {}
  ~DataObject() override { dismantle(attributes); }
  enum State { Defining, Defined, Closed };
  State state = Defining;
  std::string name, label, title, template_path;
  std::vector<ColumnSpec> columns;
  std::vector<std::vector<Cell>> rows;
  // Graph data that nothing but the graphs and the JSON stream reads (one
  // output object, numeric columns) keep their rows as doubles by column,
  // as the columns hold them: a seventh of the room of cells.
  bool graph_only = false;
  std::vector<std::vector<double>> numbers;
  std::size_t number_rows = 0;
  std::size_t shown = 0;  // rows already taken by an output object
  nlohmann::ordered_json attributes = nlohmann::ordered_json::object();
  std::vector<ViewObject*> views;  // output objects opened on it

  std::size_t row_count() const { return graph_only ? number_rows : rows.size(); }
  // Whether every column holds numbers (no text).
  bool numeric() const;
  // Keeps the rows as numbers from now on; the table has none yet.
  void keep_numbers();
  // The rows as cells again, for an output object that shows them.
  void to_cells();
  // Drops the first `n` rows.
  void drop_rows(std::size_t n);
};

// An output object (request 422): the rows of its table emitted while open.
struct ViewObject : HostObject {
  ViewObject() : HostObject(ObjectKind::View) {}
  DataObject* data = nullptr;
  std::string template_path, path_key;
  std::vector<std::string> notes;
  std::vector<std::string> groups;
  bool data_output = false;  // opened as graph data (tag 2640 on)
  bool ended = false;        // the table was closed: no more rows
  bool released = false;
  std::size_t start = 0, end = 0;
  int by_number = 0;  // the BY group it was opened in
};

// A factoid: labelled values, one per request 164.
struct FactoidObject : HostObject {
  FactoidObject() : HostObject(ObjectKind::Factoid) {}
  ~FactoidObject() override { dismantle(attributes); }
  std::string name, label, template_path;
  std::vector<std::string> labels;
  std::vector<Cell> values;
  std::vector<ColumnSpec> formats;
  nlohmann::ordered_json attributes = nlohmann::ordered_json::object();
  bool closed = false;
};

// A group of outputs (request 300), ended through its class's end method.
struct GroupObject : HostObject {
  GroupObject() : HostObject(ObjectKind::Group) {}
  std::string name, label;
  bool ended = false;
};

// Records of a graph (request 2826) and of a matrix (request 388).
struct RecordObject : HostObject {
  RecordObject() : HostObject(ObjectKind::Graph) {}
  std::string name;
};

}  // namespace platform
