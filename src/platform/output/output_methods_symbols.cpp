// Values under text keys (164 and 175 on every object) and the facts of a
// factoid (164 with a label).
#include "platform/output/output_methods.h"
#include "platform/output/output_method_request.h"

namespace platform::methods {

namespace {

constexpr char kParentKey[] = "^P_S_T^";

std::int32_t refused(Request& r, int i) { return r.block(i).rc; }

// The key and the value block of a 164 or 175 request.
std::int32_t key_and_slot(Request& r, std::string* key) {
  if (r.count() != 2) return r.fail(kOutputBadParameter, "a key and a value block are expected");
  if (!r.text(0, key)) return refused(r, 0);
  return 0;
}

}  // namespace

std::int32_t set_value(WOB_OBJ_STR* obj, void* mcoh, std::int32_t id, std::int32_t np, WOB_PARM_BLK_STR* pb) {
  Request r(mcoh, obj, id, np, pb);
  if (std::int32_t st = r.precheck()) return st;
  HostObject* self = r.service().find(obj);
  if (!self) return r.fail(kOutputBadParameter, "not an object of the output service");
  std::string key;
  if (std::int32_t st = key_and_slot(r, &key)) return st;
  WOB_PARM_BLK_STR value = r.block(1);
  if (value.type == kWobBlocks) {
    if (value.d.ary.len != 1 || !value.d.ary.p.pbp) return r.fail(1, kOutputBadParameter, "one value block is expected");
    value = *value.d.ary.p.pbp;
  }
  value.rc = 0;
  self->values[key] = value;
  return 0;
}

std::int32_t get_value(WOB_OBJ_STR* obj, void* mcoh, std::int32_t id, std::int32_t np, WOB_PARM_BLK_STR* pb) {
  Request r(mcoh, obj, id, np, pb);
  if (std::int32_t st = r.precheck()) return st;
  HostObject* self = r.service().find(obj);
  if (!self) return r.fail(kOutputBadParameter, "not an object of the output service");
  std::string key;
  if (std::int32_t st = key_and_slot(r, &key)) return st;
  WOB_PARM_BLK_STR& slot = r.block(1);
  if (key == kParentKey) {
    if (!self->parent) return kWobNoValue;
    slot = wob_object(0, self->parent->handle());
    return 0;
  }
  auto it = self->values.find(key);
  if (it == self->values.end()) return kWobNoValue;
  slot = wob_blocks(0, &it->second, 1);
  return 0;
}

std::int32_t set_fact(WOB_OBJ_STR* obj, void* mcoh, std::int32_t id, std::int32_t np, WOB_PARM_BLK_STR* pb) {
  Request r(mcoh, obj, id, np, pb);
  if (std::int32_t st = r.precheck()) return st;
  auto* fact = r.self<FactoidObject>(ObjectKind::Factoid);
  if (!fact) return r.fail(kOutputBadParameter, "not a factoid");
  // A request keyed by tag 0 is a value under a key, as on every object.
  if (r.count() > 0 && r.tag(0) == 0) return set_value(obj, mcoh, id, np, pb);
  if (fact->closed) return r.fail(kOutputWrongState, "the factoid " + fact->name + " is closed");
  std::string label;
  ColumnSpec format;
  Cell value;
  bool has_value = false;
  long long number = 0;
  for (int i = 0; i < r.count(); ++i) {
    const WOB_PARM_BLK_STR& b = r.block(i);
    bool ok = true;
    switch (r.tag(i)) {
      case 296: ok = r.text(i, &label); break;
      case 272:
        ok = r.integer(i, &number);
        format.width = static_cast<int>(number);
        break;
      case 270:
        ok = r.integer(i, &number);
        format.decimals = static_cast<int>(number);
        break;
      case 340: ok = r.text(i, &format.format_name); break;
      case 287:
        has_value = true;
        if (b.type == kWobDouble) {
          value = Cell::of_number(b.d.d);
        } else if (b.type == kWobInt || b.type == kWobLong || b.type == kWobByte) {
          ok = r.integer(i, &number);
          value = Cell::of_integer(number);
        } else {
          ok = r.text(i, &value.text);
          value.kind = Cell::Text;
        }
        break;
      default: break;
    }
    if (!ok) return refused(r, i);
  }
  if (!has_value) return r.fail(kOutputMissingParameter, "a fact needs a value (tag 287)");
  format.data_type = value.kind == Cell::Text ? kTypeChars : value.kind == Cell::Integer ? kTypeLong : kTypeDouble;
  if (value.kind == Cell::Text) format.text_width = format.width > 0 ? format.width : -256;
  fact->labels.push_back(label);
  fact->values.push_back(value);
  fact->formats.push_back(format);
  return 0;
}

std::int32_t close_factoid(WOB_OBJ_STR* obj, void* mcoh, std::int32_t id, std::int32_t np, WOB_PARM_BLK_STR* pb) {
  Request r(mcoh, obj, id, np, pb);
  if (std::int32_t st = r.precheck()) return st;
  auto* fact = r.self<FactoidObject>(ObjectKind::Factoid);
  if (!fact || fact->closed) return r.fail(kOutputWrongState, "no open factoid to close");
  r.service().emit_factoid(fact);
  return 0;
}

}  // namespace platform::methods
