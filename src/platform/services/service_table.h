// The host's service tables, generated from the service list.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct ServiceEntry {
  int vector;
  int entry;
  const char* name;
  void* function;
};

// Every service of the list with the host's implementation.
const std::vector<ServiceEntry>& service_list();

}  // namespace platform
