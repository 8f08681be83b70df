#include "platform/output/output_method_request.h"

#include "platform/listing/message_catalog.h"

namespace platform {

Request::Request(void* mcoh, WOB_OBJ_STR* obj, std::int32_t id, std::int32_t np, WOB_PARM_BLK_STR* pb)
    : service_(static_cast<OutputService*>(mcoh)), obj_(obj), id_(id), np_(np), pb_(pb) {}

std::int32_t Request::precheck() {
  if (np_ < 0 || (np_ > 0 && !pb_)) return fail(kOutputBadParameter, "the parameter blocks are missing");
  for (int i = 0; i < np_; ++i) pb_[i].rc = 0;
  if (std::int32_t injected = service_->take_injected(id_)) return fail(injected, "a failure was injected");
  return 0;
}

std::int32_t Request::fail(int i, std::int32_t status, const std::string& why) {
  if (i >= 0 && i < np_) pb_[i].rc = status;
  service_->last_failure = i >= 0 ? format("request %d, parameter %d (tag %d): %s", id_, i + 1, pb_[i].tag, why.c_str())
                                  : format("request %d: %s", id_, why.c_str());
  return status;
}

bool Request::text(int i, std::string* out) {
  const WOB_PARM_BLK_STR& b = pb_[i];
  if (b.type == kWobText) {
    if (service_->text_of(b.d.k, out)) return true;
    fail(i, kOutputBadParameter, "not a text object of the output service");
    return false;
  }
  if (b.type == kWobChars) {
    if (b.d.ary.len < 0 || (b.d.ary.len > 0 && !b.d.ary.p.ccp)) {
      fail(i, kOutputBadParameter, "a character array with no characters");
      return false;
    }
    out->assign(b.d.ary.p.ccp ? b.d.ary.p.ccp : "", static_cast<std::size_t>(b.d.ary.len));
    return true;
  }
  fail(i, kOutputBadParameter, format("a text was expected, not value kind %d", b.type));
  return false;
}

bool Request::integer(int i, long long* out) {
  const WOB_PARM_BLK_STR& b = pb_[i];
  switch (b.type) {
    case kWobByte: *out = b.d.c; return true;
    case kWobInt: *out = b.d.i; return true;
    case kWobLong: *out = b.d.i64; return true;
    default:
      fail(i, kOutputBadParameter, format("an integer was expected, not value kind %d", b.type));
      return false;
  }
}

bool Request::flag(int i, bool* out) {
  if (pb_[i].type != kWobFlag) {
    fail(i, kOutputBadParameter, format("an on/off flag was expected, not value kind %d", pb_[i].type));
    return false;
  }
  *out = pb_[i].d.bt.st != 0;
  return true;
}

bool Request::object(int i, HostObject** out) {
  if (pb_[i].type != kWobObject || !(*out = service_->find(pb_[i].d.op))) {
    fail(i, kOutputBadParameter, "not an object of the output service");
    return false;
  }
  return true;
}

bool Request::slot(int i) {
  if (pb_[i].type != kWobObject) {
    fail(i, kOutputBadParameter, "an object slot was expected");
    return false;
  }
  return true;
}

bool Request::cell(int i, const void** out) {
  if (pb_[i].type != kWobCell || !pb_[i].d.vp) {
    fail(i, kOutputBadParameter, "the address of a value cell was expected");
    return false;
  }
  *out = pb_[i].d.vp;
  return true;
}

nlohmann::ordered_json Request::any(int i) {
  const WOB_PARM_BLK_STR& b = pb_[i];
  std::string s;
  switch (b.type) {
    case kWobByte: return static_cast<int>(b.d.c);
    case kWobInt: return b.d.i;
    case kWobLong: return b.d.i64;
    case kWobDouble: return b.d.d;
    case kWobFlag: return b.d.bt.st != 0;
    case kWobText:
    case kWobChars:
      if (text(i, &s)) return s;
      pb_[i].rc = 0;  // an unread tag is recorded, not refused
      return nullptr;
    default: return nullptr;
  }
}

}  // namespace platform
