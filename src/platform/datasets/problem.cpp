#include "platform/datasets/problem.h"

#include "platform/host.h"

namespace platform::ds {

void log_problem(const Problem& p) {
  if (!p) return;
  const auto& a = p.inserts;
  auto s = [&](std::size_t i) { return i < a.size() ? a[i].c_str() : ""; };
  // Every message of the block takes only text inserts, at most seven.
  Host::current().log_message(1, p.number, s(0), s(1), s(2), s(3), s(4), s(5), s(6));
}

}  // namespace platform::ds
