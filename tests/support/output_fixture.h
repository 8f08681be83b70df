// A fixture that runs a host with its log, listing and JSON stream
// captured, and helpers for the output service's objects.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/services.h"
#include "host/object_methods.h"
#include "platform/host.h"

class OutputTest : public ::testing::Test {
 protected:
  OutputTest() : host_({&log_, &listing_, &json_}) {}

  platform::Host& host() { return host_; }
  std::string log_text() const { return log_.str(); }
  std::string listing_text() const { return listing_.str(); }
  // The JSON stream, one object a line.
  std::vector<nlohmann::json> json_objects() const {
    std::vector<nlohmann::json> out;
    std::istringstream in(json_.str());
    for (std::string line; std::getline(in, line);) out.push_back(nlohmann::json::parse(line));
    return out;
  }
  // The first object of the stream named `name`, or null.
  nlohmann::json json_named(const std::string& name) const {
    for (const auto& j : json_objects())
      if (j.value("name", "") == name) return j;
    return nullptr;
  }
  int run_as_step(void (*body)()) { return host_.run_step_with(body); }

  std::ostringstream log_, listing_, json_;
  platform::Host host_;
};

// Makes the output manager through the root object, as the procedure does.
inline wobop make_manager() {
  static WOB_OBJ_STR root;
  xobinit(&root);
  WOB_PARM_BLK_STR pb[3] = {wob_chars(143, "yol", 3), wob_chars(146, "manager", 7), wob_object(144, nullptr)};
  return wobmth(&root, nullptr, 147, 3, pb) == 0 ? pb[2].d.op : nullptr;
}

// Creates a table or factoid on the manager; null on failure.
inline wobop make_object(wobop manager, const char* kind, const char* name, const char* label) {
  WOB_PARM_BLK_STR pb[6] = {wob_chars(143, "yol", 3),     wob_chars(146, kind, static_cast<long>(std::strlen(kind))),
                            wob_object(144, nullptr),     wob_int(148, -1),
                            wob_text(std::strcmp(kind, "factoid") ? 296 : 267, yoltxt(label, -1)),
                            wob_text(138, yoltxt(name, -1))};
  return wobmth(manager, nullptr, 147, 6, pb) == 0 ? pb[2].d.op : nullptr;
}

// Opens a defined table for output; returns the output object or null.
inline wobop open_table(wobop manager, wobop table, const char* templ) {
  WOB_PARM_BLK_STR pb[3] = {wob_object(0, nullptr), wob_object(0, table), wob_text(339, yoltxt(templ, -1))};
  return wobmth(manager, nullptr, 422, 3, pb) == 0 ? pb[0].d.op : nullptr;
}

inline int release_table(wobop manager, wobop output) {
  WOB_PARM_BLK_STR pb[1] = {wob_object(0, output)};
  return wobmth(manager, nullptr, 428, 1, pb);
}
