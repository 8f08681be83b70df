// Taking a JSON value apart without allocating. The library's value
// destroys its children through a list it allocates first; with memory
// short, that allocation fails inside a destructor and ends the process.
// Emptied from the leaves up, every container is empty when it goes, and an
// empty one needs no list. Whatever holds a JSON value that may have
// children dismantles it in its destructor. Two more of the library's ways
// are kept out of what runs short of memory: values built from initializer
// lists leave such lists behind, and a null value made a container by its
// first member is left broken (a container with no storage, which its
// destructor follows) when that member cannot be allocated; containers are
// made as such (Json::object(), Json::array()) before they are filled.
// And an ordered object keeps its members in a vector which, when it
// grows, copies them (their keys are constant) and destroys the old ones:
// an object that takes containers is made with room for all its members.
#pragma once

#include <nlohmann/json.hpp>

namespace platform {

template <class Json>
void dismantle(Json& j) noexcept {
  if (!j.is_array() && !j.is_object()) return;
  for (Json& child : j) dismantle(child);
  j.clear();
}

// An empty ordered object with room for `members` members.
inline nlohmann::ordered_json object_with_room(std::size_t members) {
  nlohmann::ordered_json j = nlohmann::ordered_json::object();
  j.get_ref<nlohmann::ordered_json::object_t&>().reserve(members);
  return j;
}

// Dismantles a local value however its scope is left.
template <class Json>
class DismantleOnExit {
 public:
  explicit DismantleOnExit(Json& j) : j_(j) {}
  ~DismantleOnExit() { dismantle(j_); }
  DismantleOnExit(const DismantleOnExit&) = delete;
  DismantleOnExit& operator=(const DismantleOnExit&) = delete;

 private:
  Json& j_;
};

}  // namespace platform
