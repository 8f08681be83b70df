// Methods of the root object and of the output manager: making objects,
// titles, BY sections, messages, groups and output objects.
#include "platform/json_teardown.h"
#include "platform/output/output_methods.h"
#include "platform/output/output_method_request.h"
#include "platform/listing/print_file.h"

namespace platform::methods {

namespace {
std::int32_t refused(Request& r, int i) { return r.block(i).rc; }

void fill_slot(Request& r, int i, HostObject* object) { r.block(i).d.op = object->handle(); }
}  // namespace

std::int32_t create_manager(WOB_OBJ_STR* obj, void* mcoh, std::int32_t id, std::int32_t np, WOB_PARM_BLK_STR* pb) {
  Request r(mcoh, obj, id, np, pb);
  if (std::int32_t st = r.precheck()) return st;
  std::string kind, text;
  int slot = -1;
  for (int i = 0; i < r.count(); ++i) {
    if (r.tag(i) == 146 && !r.text(i, &kind)) return refused(r, i);
    if (r.tag(i) == 143 && !r.text(i, &text)) return refused(r, i);
    if (r.tag(i) == 144) {
      if (!r.slot(i)) return refused(r, i);
      slot = i;
    }
  }
  if (kind != "manager") return r.fail(kOutputBadParameter, "the root object makes only the output manager");
  if (slot < 0) return r.fail(kOutputMissingParameter, "no slot (tag 144) receives the manager");
  auto* manager = r.service().create<ManagerObject>(ClassId::Manager);
  r.service().set_manager(manager);
  fill_slot(r, slot, manager);
  return 0;
}

std::int32_t create_object(WOB_OBJ_STR* obj, void* mcoh, std::int32_t id, std::int32_t np, WOB_PARM_BLK_STR* pb) {
  Request r(mcoh, obj, id, np, pb);
  if (std::int32_t st = r.precheck()) return st;
  std::string kind, name, label, title, templ, text;
  int slot = -1;
  nlohmann::ordered_json settings = nlohmann::ordered_json::object();
  const DismantleOnExit settings_go(settings);
  for (int i = 0; i < r.count(); ++i) {
    bool ok = true;
    switch (r.tag(i)) {
      case 146: ok = r.text(i, &kind); break;
      case 138: ok = r.text(i, &name); break;
      case 296: ok = r.text(i, &label); break;
      case 267: ok = r.text(i, &title); break;
      case 339: ok = r.text(i, &templ); break;
      case 143: ok = r.text(i, &text); break;
      case 144:
        ok = r.slot(i);
        slot = i;
        break;
      case 148: break;
      default: settings[std::to_string(r.tag(i))] = r.any(i); break;
    }
    if (!ok) return refused(r, i);
  }
  if (slot < 0) return r.fail(kOutputMissingParameter, "no slot (tag 144) receives the new object");
  HostObject* made = nullptr;
  if (kind == "data") {
    auto* data = r.service().create<DataObject>(ClassId::Data);
    data->name = name;
    data->label = label.empty() ? title : label;
    data->title = title;
    data->template_path = templ;
    data->attributes = settings;
    made = data;
  } else if (kind == "factoid") {
    auto* fact = r.service().create<FactoidObject>(ClassId::Factoid);
    fact->name = name;
    fact->label = title.empty() ? label : title;
    fact->template_path = templ;
    fact->attributes = settings;
    made = fact;
  } else {
    return r.fail(kOutputBadParameter, "the manager makes \"data\" and \"factoid\" objects, not \"" + kind + "\"");
  }
  made->parent = r.service().find(obj);
  fill_slot(r, slot, made);
  return 0;
}

std::int32_t get_attributes(WOB_OBJ_STR* obj, void* mcoh, std::int32_t id, std::int32_t np, WOB_PARM_BLK_STR* pb) {
  Request r(mcoh, obj, id, np, pb);
  if (std::int32_t st = r.precheck()) return st;
  constexpr int kGraphics = 1334;
  for (int i = 0; i < r.count(); ++i) {
    if (r.tag(i) != kGraphics || r.block(i).type != kWobFlag)
      return r.fail(i, kOutputBadParameter, "the manager has no such attribute");
    const int on = r.service().graphics() ? 1 : 0;
    r.block(i).d.bt.bit = on;
    r.block(i).d.bt.st = on;
  }
  return 0;
}

std::int32_t new_section(WOB_OBJ_STR* obj, void* mcoh, std::int32_t id, std::int32_t np, WOB_PARM_BLK_STR* pb) {
  Request r(mcoh, obj, id, np, pb);
  if (std::int32_t st = r.precheck()) return st;
  PrintFile& print = r.service().print();
  print.end_line(print.output());
  print.new_page();
  return 0;
}

std::int32_t set_titles(WOB_OBJ_STR* obj, void* mcoh, std::int32_t id, std::int32_t np, WOB_PARM_BLK_STR* pb) {
  Request r(mcoh, obj, id, np, pb);
  if (std::int32_t st = r.precheck()) return st;
  long long line = 0, clear_from = 0;
  std::string text;
  for (int i = 0; i < r.count(); ++i) {
    bool ok = true;
    if (r.tag(i) == 440) ok = r.integer(i, &line);
    else if (r.tag(i) == 442) ok = r.integer(i, &clear_from);
    else if (r.tag(i) == 577) ok = r.text(i, &text);
    if (!ok) return refused(r, i);
  }
  if (clear_from > 0) r.service().clear_titles_from(static_cast<int>(clear_from));
  if (line > 0) {
    if (line > 10) return r.fail(kOutputBadParameter, "title lines are numbered 1 to 10");
    r.service().set_title(static_cast<int>(line), text);
  }
  return 0;
}

std::int32_t show_message(WOB_OBJ_STR* obj, void* mcoh, std::int32_t id, std::int32_t np, WOB_PARM_BLK_STR* pb) {
  Request r(mcoh, obj, id, np, pb);
  if (std::int32_t st = r.precheck()) return st;
  std::string text;
  long long kind = 0;
  for (int i = 0; i < r.count(); ++i) {
    bool ok = true;
    if (r.tag(i) == 577) ok = r.text(i, &text);
    else if (r.tag(i) == 273) ok = r.integer(i, &kind);
    if (!ok) return refused(r, i);
  }
  OutputItem item;
  item.kind = "message";
  item.extra["text"] = text;
  item.extra["kind"] = kind;
  r.service().emit(std::move(item));
  return 0;
}

std::int32_t open_section(WOB_OBJ_STR* obj, void* mcoh, std::int32_t id, std::int32_t np, WOB_PARM_BLK_STR* pb) {
  Request r(mcoh, obj, id, np, pb);
  if (std::int32_t st = r.precheck()) return st;
  auto* manager = r.self<ManagerObject>(ObjectKind::Manager);
  if (!manager) return r.fail(kOutputBadParameter, "sections open on the output manager");
  std::string name, label;
  for (int i = 0; i < r.count(); ++i) {
    bool ok = true;
    if (r.tag(i) == 138) ok = r.text(i, &name);
    else if (r.tag(i) == 296) ok = r.text(i, &label);
    if (!ok) return refused(r, i);
  }
  manager->sections.push_back(name);
  r.service().open_group(name);
  return 0;
}

std::int32_t close_section(WOB_OBJ_STR* obj, void* mcoh, std::int32_t id, std::int32_t np, WOB_PARM_BLK_STR* pb) {
  Request r(mcoh, obj, id, np, pb);
  if (std::int32_t st = r.precheck()) return st;
  auto* manager = r.self<ManagerObject>(ObjectKind::Manager);
  if (!manager || manager->sections.empty()) return r.fail(kOutputWrongState, "no section is open");
  r.service().print().end_line(r.service().print().output());
  r.service().close_group(manager->sections.back());
  manager->sections.pop_back();
  return 0;
}

std::int32_t open_group(WOB_OBJ_STR* obj, void* mcoh, std::int32_t id, std::int32_t np, WOB_PARM_BLK_STR* pb) {
  Request r(mcoh, obj, id, np, pb);
  if (std::int32_t st = r.precheck()) return st;
  std::string name, label;
  int slot = -1;
  for (int i = 0; i < r.count(); ++i) {
    bool ok = true, on = false;
    switch (r.tag(i)) {
      case 138: ok = r.text(i, &name); break;
      case 296: ok = r.text(i, &label); break;
      case 435: ok = r.flag(i, &on); break;
      case 144:
        ok = r.slot(i);
        slot = i;
        break;
      default: break;
    }
    if (!ok) return refused(r, i);
  }
  if (slot < 0) return r.fail(kOutputMissingParameter, "no slot (tag 144) receives the group");
  auto* group = r.service().create<GroupObject>(ClassId::Group);
  group->name = name;
  group->label = label;
  group->parent = r.service().find(obj);
  r.service().open_group(name);
  fill_slot(r, slot, group);
  return 0;
}

std::int32_t end_group(WOB_OBJ_STR* obj, void* mcoh, std::int32_t id, std::int32_t np, WOB_PARM_BLK_STR* pb) {
  Request r(mcoh, obj, id, np, pb);
  if (std::int32_t st = r.precheck()) return st;
  auto* group = r.self<GroupObject>(ObjectKind::Group);
  if (!group) return r.fail(kOutputBadParameter, "not a group of the output service");
  if (group->ended) return r.fail(kOutputWrongState, "the group " + group->name + " was already ended");
  group->ended = true;
  r.service().close_group(group->name);
  return 0;
}

}  // namespace platform::methods
