// The kernel library's state for one host: the named-value store, the
// national-language service and the origin of the elapsed-time clock. The
// host owns it and installs its data words (default journal, national-
// language extension, session record) into the kernel-library handle.
#pragma once

#include <atomic>
#include <string>
#include <string_view>

#include "platform/kernel/kernel_nls.h"
#include "platform/kernel/named_value_store.h"

namespace platform {

class KernelState {
 public:
  explicit KernelState(void* handle_area);

  NamedValueStore& named_values() { return named_values_; }
  KernelNls& nls() { return nls_; }
  // Seconds of the monotonic clock at which the kernel library started.
  double clock_origin() const { return clock_origin_; }
  // The most threads seen at once by the statistics request.
  std::atomic<std::uint64_t>& thread_high_water() { return thread_high_water_; }

  void install(void** handle_area);

  // Applies a command-line "NAME=VALUE". A name the kernel already holds as a
  // number takes only a number; "host.cpucount" takes a whole number from 1
  // to 4096. False with the reason otherwise.
  bool apply_setting(std::string_view assignment, std::string* why);

 private:
  NamedValueStore named_values_;
  KernelNls nls_;
  double clock_origin_;
  std::atomic<std::uint64_t> thread_high_water_{0};
};

// The monotonic clock in seconds.
double monotonic_seconds();
// The processors this process may run on.
int machine_cpu_count();

}  // namespace platform
