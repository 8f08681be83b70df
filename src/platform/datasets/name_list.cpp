#include "platform/datasets/name_list.h"

#include <algorithm>
#include <cstring>

namespace platform::ds {
namespace {
constexpr std::size_t kHeaderBytes = 32;
}  // namespace

std::vector<std::string> read_name_list(const void* list, int count) {
  std::vector<std::string> names;
  std::int64_t first = 0;  // number of the block's first name
  for (auto* block = static_cast<const std::uint64_t*>(list);
       block && static_cast<int>(names.size()) < count;
       block = reinterpret_cast<const std::uint64_t*>(block[1])) {
    const auto last = static_cast<std::int64_t>(block[3]);
    const auto* p = reinterpret_cast<const unsigned char*>(block) + kHeaderBytes;
    for (std::int64_t n = first; n <= last && static_cast<int>(names.size()) < count; ++n) {
      names.emplace_back(reinterpret_cast<const char*>(p + 1), p[0]);
      p += 1 + p[0];
    }
    first = last + 1;
  }
  return names;
}

std::vector<std::uint64_t> make_name_list(const std::vector<std::string>& names) {
  std::size_t bytes = kHeaderBytes;
  for (const std::string& n : names) bytes += 1 + std::min<std::size_t>(n.size(), 255);
  std::vector<std::uint64_t> block((bytes + 7) / 8, 0);
  block[3] = static_cast<std::uint64_t>(static_cast<std::int64_t>(names.size()) - 1);
  auto* p = reinterpret_cast<unsigned char*>(block.data()) + kHeaderBytes;
  for (const std::string& n : names) {
    std::size_t len = std::min<std::size_t>(n.size(), 255);
    *p++ = static_cast<unsigned char>(len);
    std::memcpy(p, n.data(), len);
    p += len;
  }
  return block;
}

}  // namespace platform::ds
