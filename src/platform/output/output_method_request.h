// One call of an output method as the method sees it: the service, the
// object and the parameter blocks, with readers that check each block's
// value kind and record why a block was refused.
#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/output/output_service.h"

namespace platform {

class Request {
 public:
  Request(void* mcoh, WOB_OBJ_STR* obj, std::int32_t id, std::int32_t np, WOB_PARM_BLK_STR* pb);

  OutputService& service() const { return *service_; }
  // Nonzero when the call cannot go on: a malformed block array, or a
  // failure the tests injected for this selector.
  std::int32_t precheck();
  int count() const { return np_; }
  WOB_PARM_BLK_STR& block(int i) const { return pb_[i]; }
  int tag(int i) const { return pb_[i].tag; }
  // The call's object as a `T` of kind `kind`, or null.
  template <class T>
  T* self(ObjectKind kind) const {
    HostObject* o = service_->find(obj_);
    return o && o->kind == kind ? static_cast<T*>(o) : nullptr;
  }

  // Block readers; each returns false after recording the refusal.
  bool text(int i, std::string* out);                 // 'B', 20
  bool integer(int i, long long* out);                // 1, 3, 4
  bool flag(int i, bool* out);                        // 13
  bool object(int i, HostObject** out);               // 12, an object of this service
  bool slot(int i);                                   // 12, a slot to fill
  bool cell(int i, const void** out);                 // 17
  // A value of any kind for the JSON record of a tag no method reads.
  nlohmann::ordered_json any(int i);

  // Records a refused block or call and returns `status`.
  std::int32_t fail(int i, std::int32_t status, const std::string& why);
  std::int32_t fail(std::int32_t status, const std::string& why) { return fail(-1, status, why); }

 private:
  OutputService* service_;
  WOB_OBJ_STR* obj_;
  std::int32_t id_, np_;
  WOB_PARM_BLK_STR* pb_;
};

}  // namespace platform
