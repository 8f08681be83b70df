// A thread with a large stack for work that recurses over syntax trees:
// the parsers, the compiler's passes and the printer recurse once per level
// of a statement, up to the limits in language/cursor.h.
#pragma once

#include <cstddef>
#include <functional>

namespace platform {

// Stack enough for a statement at both limits in every pass, with room for
// the larger frames of a sanitizer build: a model 50,000 operations deep
// touched 12 MB of it, 150 MB under AddressSanitizer. It is reserved
// address space; only the pages a step touches take memory.
inline constexpr std::size_t kTreeStackBytes = std::size_t{1} << 30;

// Stack enough for the parsers alone at the nesting limit, whoever calls
// them: 999 nested parentheses took 15 MB under AddressSanitizer, more
// than a process's first thread may have.
inline constexpr std::size_t kParseStackBytes = std::size_t{64} << 20;

// Runs `work` on a thread whose stack is `bytes` large and waits for it to
// finish; an exception `work` throws is thrown again here. When no such
// thread can be made, `work` runs on the calling thread. Under a limit of
// address space, a stack larger than kParseStackBytes takes a 32nd of the
// limit when that is less (but at least 8 MB), and threads share one
// allocator arena from then on.
void run_with_stack(std::size_t bytes, const std::function<void()>& work);

}  // namespace platform
