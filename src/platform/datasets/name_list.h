// The host's name lists, as the statement parser hands them to the module
// (BY lists and the like): a chain of blocks, each beginning with four
// 64-bit words (unused, the next block or null, unused, the number of the
// block's last name) followed by its names packed one after another, each a
// length byte and that many characters. Names are numbered from 0 across
// the chain.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::ds {

// The first `count` names of the list (fewer when it holds fewer).
std::vector<std::string> read_name_list(const void* list, int count);

// A one-block list of `names` (each at most 255 characters), in storage
// that keeps it aligned.
std::vector<std::uint64_t> make_name_list(const std::vector<std::string>& names);

}  // namespace platform::ds
