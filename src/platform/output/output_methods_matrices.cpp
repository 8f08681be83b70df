// Matrices and vectors shown as tables (388) and graphs (2826); graphs are
// recorded in the JSON stream only.
#include "platform/output/output_methods.h"
#include "platform/json_teardown.h"
#include "platform/output/output_method_request.h"

namespace platform::methods {

namespace {

constexpr long long kMostCells = 10'000'000;

std::int32_t refused(Request& r, int i) { return r.block(i).rc; }

// `count` names from a block of text objects ('C') or counted strings (7).
bool read_names(Request& r, int i, long long count, std::vector<std::string>* names) {
  const WOB_PARM_BLK_STR& b = r.block(i);
  names->clear();
  if (b.type == kWobTexts && b.d.kp) {
    for (long long k = 0; k < count; ++k) {
      std::string s;
      if (!r.service().text_of(b.d.kp[k], &s)) {
        r.fail(i, kOutputBadParameter, "a name is no text object of the output service");
        return false;
      }
      names->push_back(s);
    }
    return true;
  }
  if (b.type == kWobStrings && b.d.slistp) {
    for (long long k = 0; k < count; ++k) {
      const VARSTRING& v = b.d.slistp[k];
      if (v.l < 0 || (v.l > 0 && !v.s)) {
        r.fail(i, kOutputBadParameter, "a counted name with no text");
        return false;
      }
      names->emplace_back(v.s ? v.s : "", static_cast<std::size_t>(v.l));
    }
    return true;
  }
  r.fail(i, kOutputBadParameter, "an array of names was expected");
  return false;
}

struct MatrixRequest {
  std::string templ, name, label, title, shape, corner;
  const double* values = nullptr;
  long long rows = 0, cols = 0, width = 10;
  int row_names = -1, col_names = -1;
  nlohmann::ordered_json settings = nlohmann::ordered_json::object();
  ~MatrixRequest() { dismantle(settings); }
};

std::int32_t read_matrix(Request& r, MatrixRequest* m) {
  for (int i = 0; i < r.count(); ++i) {
    bool ok = true;
    switch (r.tag(i)) {
      case 339: ok = r.text(i, &m->templ); break;
      case 138: ok = r.text(i, &m->name); break;
      case 296: ok = r.text(i, &m->label); break;
      case 267: ok = r.text(i, &m->title); break;
      case 105: ok = r.text(i, &m->shape); break;
      case 394: ok = r.text(i, &m->corner); break;
      case 390: ok = r.integer(i, &m->cols); break;
      case 391: ok = r.integer(i, &m->rows); break;
      case 278: ok = r.integer(i, &m->width); break;
      case 389:
        if (r.block(i).type != kWobDoubles || !r.block(i).d.dp) return r.fail(i, kOutputBadParameter, "no values");
        m->values = r.block(i).d.dp;
        break;
      case 398: case 399: m->row_names = i; break;
      case 408: case 409: m->col_names = i; break;
      default: m->settings[std::to_string(r.tag(i))] = r.any(i); break;
    }
    if (!ok) return refused(r, i);
  }
  if (!m->values) return r.fail(kOutputMissingParameter, "no values (tag 389)");
  if (m->rows < 1 || m->cols < 1 || m->rows * m->cols > kMostCells)
    return r.fail(kOutputBadParameter, "a matrix of " + std::to_string(m->rows) + " by " + std::to_string(m->cols));
  if (m->shape == "sc" && m->rows != m->cols) return r.fail(kOutputBadParameter, "a packed matrix must be square");
  return 0;
}

double element(const MatrixRequest& m, long long i, long long j) {
  if (m.shape != "sc") return m.values[i * m.cols + j];
  const long long big = i > j ? i : j, small = i > j ? j : i;
  return m.values[big * (big + 1) / 2 + small];
}

}  // namespace

std::int32_t emit_matrix(WOB_OBJ_STR* obj, void* mcoh, std::int32_t id, std::int32_t np, WOB_PARM_BLK_STR* pb) {
  Request r(mcoh, obj, id, np, pb);
  if (std::int32_t st = r.precheck()) return st;
  MatrixRequest m;
  if (std::int32_t st = read_matrix(r, &m)) return st;
  std::vector<std::string> row_names, col_names;
  if (m.row_names >= 0 && !read_names(r, m.row_names, m.rows, &row_names)) return refused(r, m.row_names);
  if (m.col_names >= 0 && !read_names(r, m.col_names, m.cols, &col_names)) return refused(r, m.col_names);

  auto* record = r.service().create<RecordObject>(ClassId::Matrix);
  record->kind = ObjectKind::Matrix;
  record->name = m.name;
  record->parent = r.service().find(obj);
  OutputItem item;
  item.kind = "matrix";
  item.template_path = m.templ;
  item.name = m.name;
  item.label = m.label.empty() ? m.title : m.label;
  item.attributes = m.settings;
  if (!row_names.empty()) {
    ColumnSpec c;
    c.name = "RowName";
    c.label = m.corner;
    c.role = "rowname";
    c.data_type = kTypeChars;
    c.text_width = -256;
    item.columns.push_back(c);
  }
  for (long long j = 0; j < m.cols; ++j) {
    ColumnSpec c;
    c.name = !col_names.empty() ? col_names[j] : m.cols == 1 ? "Value" : "Col" + std::to_string(j + 1);
    c.label = c.name;
    c.width = static_cast<int>(m.width > 0 && m.width <= 32 ? m.width : 10);
    item.columns.push_back(c);
  }
  for (long long i = 0; i < m.rows; ++i) {
    std::vector<Cell> row;
    if (!row_names.empty()) row.push_back(Cell::of_text(row_names[i]));
    for (long long j = 0; j < m.cols; ++j) row.push_back(Cell::of_number(element(m, i, j)));
    item.rows.push_back(std::move(row));
  }
  r.service().emit(std::move(item));
  return 0;
}

namespace {

// The 311/287 pairs of a block array into `dynamic`.
std::int32_t read_pairs(Request& r, int i, std::string* name, nlohmann::ordered_json* dynamic) {
  if (r.tag(i) == 311) return r.text(i, name) ? 0 : refused(r, i);
  if (name->empty()) return r.fail(i, kOutputMissingParameter, "a dynamic value without a name (tag 311)");
  (*dynamic)[*name] = r.any(i);
  name->clear();
  return 0;
}

}  // namespace

std::int32_t make_graph(WOB_OBJ_STR* obj, void* mcoh, std::int32_t id, std::int32_t np, WOB_PARM_BLK_STR* pb) {
  Request r(mcoh, obj, id, np, pb);
  if (std::int32_t st = r.precheck()) return st;
  if (!r.service().graphics()) return r.fail(kOutputSkipped, "graphics are off; the graph was not made");
  OutputItem item;
  item.kind = "graph";
  std::string description, pair_name;
  nlohmann::ordered_json path = nlohmann::ordered_json::array(), dynamic = nlohmann::ordered_json::object();
  const DismantleOnExit path_goes(path), dynamic_goes(dynamic);
  for (int i = 0; i < r.count(); ++i) {
    const WOB_PARM_BLK_STR& b = r.block(i);
    bool ok = true;
    switch (r.tag(i)) {
      case 138: ok = r.text(i, &item.name); break;
      case 339: ok = r.text(i, &item.template_path); break;
      case 296: ok = r.text(i, &item.label); break;
      case 310: ok = r.text(i, &description); break;
      case 311:
      case 287:
        if (std::int32_t st = read_pairs(r, i, &pair_name, &dynamic)) return st;
        break;
      case 2829:
        if (b.type != kWobPath || b.d.ary.len < 0 || (b.d.ary.len > 0 && !b.d.ary.p.kp))
          return r.fail(i, kOutputBadParameter, "an output path was expected");
        for (long long k = 0; k < b.d.ary.len; ++k) {
          std::string key;
          if (!r.service().text_of(b.d.ary.p.kp[k], &key)) return r.fail(i, kOutputBadParameter, "an unknown path key");
          path.push_back(key);
        }
        break;
      case 174: {
        if (b.type != kWobBlocks || b.d.ary.len < 0 || (b.d.ary.len > 0 && !b.d.ary.p.pbp))
          return r.fail(i, kOutputBadParameter, "an array of dynamic values was expected");
        Request inner(mcoh, obj, id, static_cast<std::int32_t>(b.d.ary.len), b.d.ary.p.pbp);
        std::string inner_name;
        for (int k = 0; k < inner.count(); ++k)
          if (inner.tag(k) == 311 || inner.tag(k) == 287)
            if (read_pairs(inner, k, &inner_name, &dynamic)) return r.fail(i, kOutputBadParameter, r.service().last_failure);
        break;
      }
      default: item.attributes[std::to_string(r.tag(i))] = r.any(i); break;
    }
    if (!ok) return refused(r, i);
  }
  auto* record = r.service().create<RecordObject>(ClassId::Graph);
  record->name = item.name;
  record->parent = r.service().find(obj);
  // Room for the file's name too, which the drawing adds.
  item.extra = object_with_room(4);
  if (!description.empty()) item.extra["description"] = description;
  item.extra["path"] = std::move(path);
  item.extra["dynamic"] = std::move(dynamic);
  if (r.service().drawing()) r.service().draw_graph(item);
  r.service().emit(std::move(item), false);
  return 0;
}

}  // namespace platform::methods
