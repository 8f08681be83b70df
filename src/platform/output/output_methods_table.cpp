// Methods of tables: columns bound to value cells, the end of the
// definition, rows read from the cells when emitted, attributes, closing.
#include <cstring>

#include "platform/output/output_methods.h"
#include "platform/output/output_method_request.h"

namespace platform::methods {

namespace {

std::int32_t refused(Request& r, int i) { return r.block(i).rc; }

bool known_type(long long t) {
  return t == kTypeByte || t == kTypeInt || t == kTypeLong || t == kTypeDouble || t == kTypeChars ||
         t == kTypeTextObject;
}

// Reads the blocks of a column definition into `c`.
std::int32_t read_column(Request& r, ColumnSpec* c) {
  long long type = 0, width = 0, decimals = -1, text_width = 0;
  std::string pair_name;
  bool has_type = false, unlisted = false;
  for (int i = 0; i < r.count(); ++i) {
    bool ok = true;
    switch (r.tag(i)) {
      case 138: ok = r.text(i, &c->name); break;
      case 296: ok = r.text(i, &c->label); break;
      case 339: ok = r.text(i, &c->role); break;
      case 340: ok = r.text(i, &c->format_name); break;
      case 285: ok = r.cell(i, &c->cell); break;
      case 272: ok = r.integer(i, &width); break;
      case 270: ok = r.integer(i, &decimals); break;
      case 289: ok = r.integer(i, &text_width); break;
      case 103:
      case 337:
        ok = r.integer(i, &type);
        if (ok && !known_type(type)) return r.fail(i, kOutputBadParameter, "an unknown column data type");
        has_type = true;
        break;
      case 311: ok = r.text(i, &pair_name); break;
      case 287: c->extra[pair_name.empty() ? "287" : pair_name] = r.any(i); break;
      case 2224: c->extra["descriptor"] = true; break;
      case kTagNotListed: ok = r.flag(i, &unlisted); break;
      default: c->extra[std::to_string(r.tag(i))] = r.any(i); break;
    }
    if (!ok) return refused(r, i);
  }
  c->listed = !unlisted;
  c->width = static_cast<int>(width);
  c->decimals = static_cast<int>(decimals);
  c->text_width = static_cast<int>(text_width);
  if (has_type) c->data_type = static_cast<int>(type);
  else if (text_width != 0 || c->role == "IDCharVariable") c->data_type = kTypeChars;
  if (c->data_type == kTypeChars && c->text_width == 0) c->text_width = c->width > 0 ? c->width : -32;
  return 0;
}

// The value of an integer column's cell.
long long read_integer(const ColumnSpec& c) {
  switch (c.data_type) {
    case kTypeByte: return *static_cast<const signed char*>(c.cell);
    case kTypeInt: {
      std::int32_t v;
      std::memcpy(&v, c.cell, sizeof v);
      return v;
    }
    default: {
      std::int64_t v;
      std::memcpy(&v, c.cell, sizeof v);
      return v;
    }
  }
}

// The value of a numeric column's cell as a double, missing values as
// they are.
double read_number(const ColumnSpec& c) {
  if (c.data_type != kTypeDouble) return static_cast<double>(read_integer(c));
  double v;
  std::memcpy(&v, c.cell, sizeof v);
  return v;
}

// The value of one cell, read as its column's data type.
Cell read_cell(OutputService& service, const ColumnSpec& c) {
  switch (c.data_type) {
    case kTypeByte:
    case kTypeInt:
    case kTypeLong: return Cell::of_integer(read_integer(c));
    case kTypeChars: {
      const char* p = static_cast<const char*>(c.cell);
      const std::size_t most = static_cast<std::size_t>(c.text_width < 0 ? -c.text_width : c.text_width);
      // A character variable's value fills its cell, padded with blanks: a
      // NUL byte in it is data. Other cells end at their first NUL.
      if (c.role == "IDCharVariable" && c.text_width > 0) return Cell::of_text(std::string(p, most));
      return Cell::of_text(std::string(p, strnlen(p, most)));
    }
    case kTypeTextObject: {
      xobskey key;
      std::memcpy(&key, c.cell, sizeof key);
      std::string text;
      if (!service.text_of(key, &text)) text = "?";
      return Cell::of_text(text);
    }
    default: {
      double v;
      std::memcpy(&v, c.cell, sizeof v);
      return Cell::of_number(v);
    }
  }
}

}  // namespace

std::int32_t define_column(WOB_OBJ_STR* obj, void* mcoh, std::int32_t id, std::int32_t np, WOB_PARM_BLK_STR* pb) {
  Request r(mcoh, obj, id, np, pb);
  if (std::int32_t st = r.precheck()) return st;
  auto* data = r.self<DataObject>(ObjectKind::Data);
  if (!data) return r.fail(kOutputBadParameter, "columns are defined on a table");
  if (data->state != DataObject::Defining)
    return r.fail(kOutputWrongState, "the definition of " + data->name + " has ended");
  ColumnSpec c;
  if (std::int32_t st = read_column(r, &c)) return st;
  if (!c.cell) return r.fail(kOutputMissingParameter, "no value cell (tag 285) for column " + c.name);
  if (c.name.empty()) c.name = "Column" + std::to_string(data->columns.size() + 1);
  data->columns.push_back(std::move(c));
  return 0;
}

std::int32_t column_format(WOB_OBJ_STR* obj, void* mcoh, std::int32_t id, std::int32_t np, WOB_PARM_BLK_STR* pb) {
  Request r(mcoh, obj, id, np, pb);
  if (std::int32_t st = r.precheck()) return st;
  auto* data = r.self<DataObject>(ObjectKind::Data);
  if (!data || data->state == DataObject::Closed) return r.fail(kOutputWrongState, "not an open table");
  long long number = 0;
  std::string format;
  for (int i = 0; i < r.count(); ++i) {
    bool ok = true;
    if (r.tag(i) == 347) ok = r.integer(i, &number);
    else if (r.tag(i) == 340) ok = r.text(i, &format);
    if (!ok) return refused(r, i);
  }
  if (number < 1 || number > static_cast<long long>(data->columns.size()))
    return r.fail(kOutputBadParameter, "no column " + std::to_string(number) + " in " + data->name);
  data->columns[static_cast<std::size_t>(number - 1)].format_name = format;
  return 0;
}

std::int32_t end_definition(WOB_OBJ_STR* obj, void* mcoh, std::int32_t id, std::int32_t np, WOB_PARM_BLK_STR* pb) {
  Request r(mcoh, obj, id, np, pb);
  if (std::int32_t st = r.precheck()) return st;
  auto* data = r.self<DataObject>(ObjectKind::Data);
  if (!data || data->state != DataObject::Defining) return r.fail(kOutputWrongState, "no table definition to end");
  data->state = DataObject::Defined;
  return 0;
}

std::int32_t add_row(WOB_OBJ_STR* obj, void* mcoh, std::int32_t id, std::int32_t np, WOB_PARM_BLK_STR* pb) {
  Request r(mcoh, obj, id, np, pb);
  if (std::int32_t st = r.precheck()) return st;
  auto* data = r.self<DataObject>(ObjectKind::Data);
  if (!data || data->state != DataObject::Defined)
    return r.fail(kOutputWrongState, "rows are added to a defined table that is not closed");
  if (data->graph_only) {
    for (std::size_t c = 0; c < data->columns.size(); ++c) data->numbers[c].push_back(read_number(data->columns[c]));
    ++data->number_rows;
    return 0;
  }
  std::vector<Cell> row;
  row.reserve(data->columns.size());
  for (const ColumnSpec& c : data->columns) row.push_back(read_cell(r.service(), c));
  data->rows.push_back(std::move(row));
  return 0;
}

std::int32_t close_data(WOB_OBJ_STR* obj, void* mcoh, std::int32_t id, std::int32_t np, WOB_PARM_BLK_STR* pb) {
  Request r(mcoh, obj, id, np, pb);
  if (std::int32_t st = r.precheck()) return st;
  auto* data = r.self<DataObject>(ObjectKind::Data);
  if (!data || data->state == DataObject::Closed) return r.fail(kOutputWrongState, "no open table to close");
  long long keep_open = 0;
  for (int i = 0; i < r.count(); ++i)
    if (r.tag(i) == 300 && !r.integer(i, &keep_open)) return refused(r, i);
  // The output objects open on the table end with the rows emitted so far.
  for (ViewObject* view : data->views)
    if (!view->ended) {
      view->end = data->row_count();
      view->ended = true;
    }
  if (!keep_open) data->state = DataObject::Closed;
  return 0;
}

std::int32_t set_attribute(WOB_OBJ_STR* obj, void* mcoh, std::int32_t id, std::int32_t np, WOB_PARM_BLK_STR* pb) {
  Request r(mcoh, obj, id, np, pb);
  if (std::int32_t st = r.precheck()) return st;
  HostObject* self = r.service().find(obj);
  nlohmann::ordered_json* attributes = nullptr;
  if (self && self->kind == ObjectKind::Data) attributes = &static_cast<DataObject*>(self)->attributes;
  if (self && self->kind == ObjectKind::Factoid) attributes = &static_cast<FactoidObject*>(self)->attributes;
  if (!attributes) return r.fail(kOutputBadParameter, "attributes are set on tables and factoids");
  std::string name;
  for (int i = 0; i < r.count(); ++i) {
    if (r.tag(i) == 311 && !r.text(i, &name)) return refused(r, i);
    if (r.tag(i) == 287) {
      if (name.empty()) return r.fail(i, kOutputMissingParameter, "an attribute value without a name (tag 311)");
      (*attributes)[name] = r.any(i);
    }
  }
  return 0;
}

}  // namespace platform::methods
