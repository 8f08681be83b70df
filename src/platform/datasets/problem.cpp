#include "platform/datasets/problem.h"

#include "platform/host.h"
#include "platform/listing/visible_text.h"

namespace platform::ds {

void log_problem(const Problem& p) {
  if (!p) return;
  // The inserts travel as NUL-terminated text: a NUL byte in a cell or a
  // name would end it there and hide what is wrong, so they are shown first,
  // a no-break space escaped too, as it would pass for a space.
  std::vector<std::string> a;
  for (const std::string& insert : p.inserts) a.push_back(quoted_value_text(insert));
  auto s = [&](std::size_t i) { return i < a.size() ? a[i].c_str() : ""; };
  // Every message of the block takes only text inserts, at most seven.
  Host::current().log_message(1, p.number, s(0), s(1), s(2), s(3), s(4), s(5), s(6));
}

}  // namespace platform::ds
