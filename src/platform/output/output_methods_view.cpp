// Output objects: a table opened for output under a template (422) and
// released (428), when its rows are rendered.
#include "platform/output/output_methods.h"
#include "platform/output/output_method_request.h"

namespace platform::methods {

namespace {
std::int32_t refused(Request& r, int i) { return r.block(i).rc; }

struct OpenRequest {
  int out_slot = -1;
  DataObject* data = nullptr;
  std::string templ;
  std::vector<std::string> notes;
  bool data_output = false;
  xobskey* key_slot = nullptr;
};

std::int32_t read_open(Request& r, OpenRequest* o) {
  for (int i = 0; i < r.count(); ++i) {
    const WOB_PARM_BLK_STR& b = r.block(i);
    bool ok = true;
    std::string note;
    HostObject* object = nullptr;
    switch (r.tag(i)) {
      case 0:
        if (o->out_slot < 0) {
          ok = r.slot(i);
          o->out_slot = i;
          break;
        }
        [[fallthrough]];
      case 504:
        ok = r.object(i, &object);
        if (ok && object->kind != ObjectKind::Data) return r.fail(i, kOutputBadParameter, "not a table");
        o->data = static_cast<DataObject*>(object);
        break;
      case 339: ok = r.text(i, &o->templ); break;
      case 377:
      case 378:
        ok = r.text(i, &note);
        if (ok && !note.empty()) o->notes.push_back(note);
        break;
      case 2640: ok = r.flag(i, &o->data_output); break;
      case 784:
        if (b.type != kWobTexts || !b.d.kp) return r.fail(i, kOutputBadParameter, "a path-key slot was expected");
        o->key_slot = b.d.kp;
        break;
      default: break;
    }
    if (!ok) return refused(r, i);
  }
  return 0;
}
}  // namespace

std::int32_t open_view(WOB_OBJ_STR* obj, void* mcoh, std::int32_t id, std::int32_t np, WOB_PARM_BLK_STR* pb) {
  Request r(mcoh, obj, id, np, pb);
  if (std::int32_t st = r.precheck()) return st;
  OpenRequest o;
  if (std::int32_t st = read_open(r, &o)) return st;
  if (o.out_slot < 0) return r.fail(kOutputMissingParameter, "no slot (tag 0) receives the output object");
  if (!o.data) return r.fail(kOutputMissingParameter, "no table to open");
  if (o.data->state != DataObject::Defined)
    return r.fail(kOutputWrongState, "the table " + o.data->name + " is not defined or is closed");
  OutputService& service = r.service();
  // A second output object shows the rows kept for the graphs of the first.
  o.data->to_cells();
  auto* view = service.create<ViewObject>(ClassId::View);
  view->data = o.data;
  view->parent = service.find(obj);
  view->template_path = o.templ;
  view->notes = o.notes;
  view->data_output = o.data_output;
  view->groups = service.groups();
  view->start = o.data->shown;
  o.data->shown = o.data->row_count();
  if (o.data_output && o.data->views.empty() && o.data->row_count() == 0 && o.data->numeric())
    o.data->keep_numbers();
  view->path_key = service.register_view(view);
  o.data->views.push_back(view);
  if (o.key_slot) *o.key_slot = service.make_text(view->path_key);
  r.block(o.out_slot).d.op = view->handle();
  return 0;
}

std::int32_t release_view(WOB_OBJ_STR* obj, void* mcoh, std::int32_t id, std::int32_t np, WOB_PARM_BLK_STR* pb) {
  Request r(mcoh, obj, id, np, pb);
  if (std::int32_t st = r.precheck()) return st;
  ViewObject* view = nullptr;
  std::vector<std::string> notes;
  for (int i = 0; i < r.count(); ++i) {
    HostObject* object = nullptr;
    std::string note;
    bool ok = true;
    if (r.block(i).type == kWobObject) {
      ok = r.object(i, &object);
      if (ok && object->kind != ObjectKind::View) return r.fail(i, kOutputBadParameter, "not an output object");
      view = static_cast<ViewObject*>(object);
    } else if (r.tag(i) == 378 || r.tag(i) == 377) {
      ok = r.text(i, &note);
      if (ok && !note.empty()) notes.push_back(note);
    }
    if (!ok) return refused(r, i);
  }
  if (!view) return r.fail(kOutputMissingParameter, "no output object to release");
  if (view->released) return r.fail(kOutputWrongState, "the output object was already released");
  view->notes.insert(view->notes.end(), notes.begin(), notes.end());
  r.service().release_view(view);
  return 0;
}

}  // namespace platform::methods
