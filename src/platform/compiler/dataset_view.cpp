#include "platform/compiler/dataset_view.h"

namespace platform::compiler {
namespace {
DatasetAccess g_access;
}

DatasetAccess install_dataset_access(const DatasetAccess& access) {
  DatasetAccess previous = g_access;
  g_access = access;
  return previous;
}

const DatasetAccess& dataset_access() { return g_access; }

}  // namespace platform::compiler
