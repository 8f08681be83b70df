#include "platform/kernel/kernel_state.h"

#include <sched.h>

#include <ctime>
#include <thread>

#include "host/kernel_handle.h"
#include "platform/kernel/kernel_journal.h"
#include "platform/utf8.h"

namespace platform {
namespace {
constexpr std::u32string_view kCpuCountName = U"host.cpucount";
constexpr std::int64_t kMaxCpuCount = 4096;
}  // namespace

double monotonic_seconds() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

int machine_cpu_count() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
  const unsigned n = std::thread::hardware_concurrency();
  return n > 0 ? static_cast<int>(n) : 1;
}

KernelState::KernelState(void* handle_area)
    : nls_(static_cast<QX_HNDL_S*>(handle_area)), clock_origin_(monotonic_seconds()) {
  NamedValueStore::Value cpus;
  cpus.type = NamedValueStore::kInteger;
  cpus.integer = machine_cpu_count();
  named_values_.put(kCpuCountName, cpus);
}

void KernelState::install(void** area) {
  auto* handle = reinterpret_cast<QX_HNDL_S*>(area);
  handle->qxjnl = default_journal();
  handle->qxnls = nls_.extension();
  handle->sknls_global = nls_.session();
}

bool KernelState::apply_setting(std::string_view assignment, std::string* why) {
  const auto eq = assignment.find('=');
  if (eq == std::string_view::npos || eq == 0) {
    *why = "needs NAME=VALUE";
    return false;
  }
  const std::u32string name = from_utf8(assignment.substr(0, eq));
  NamedValueStore::Value value = value_from_text(assignment.substr(eq + 1));
  const auto existing = named_values_.find(name);
  const bool numeric = value.type != NamedValueStore::kText;
  if (existing && existing->type != NamedValueStore::kText && !numeric) {
    *why = "the value must be a number";
    return false;
  }
  if (name == kCpuCountName &&
      (value.type != NamedValueStore::kInteger || value.integer < 1 || value.integer > kMaxCpuCount)) {
    *why = "the value must be a whole number from 1 to 4096";
    return false;
  }
  if (existing && existing->type == NamedValueStore::kInteger && value.type == NamedValueStore::kDouble) {
    *why = "the value must be a whole number";
    return false;
  }
  named_values_.put(name, value);
  return true;
}

}  // namespace platform
