#include "platform/datasets/link_chain.h"

#include <system_error>

namespace platform::ds {

std::vector<std::filesystem::path> link_chain(const std::filesystem::path& name) {
  constexpr int kMostLinks = 40;  // as the kernel follows at most
  std::vector<std::filesystem::path> chain;
  std::error_code ec;
  std::filesystem::path at = name;
  while (chain.size() < kMostLinks && std::filesystem::is_symlink(at, ec)) {
    const std::filesystem::path target = std::filesystem::read_symlink(at, ec);
    if (ec) break;
    at = target.is_absolute() ? target : at.parent_path() / target;
    chain.push_back(at);
  }
  return chain;
}

std::filesystem::path followed_link(const std::filesystem::path& name) {
  const std::vector<std::filesystem::path> chain = link_chain(name);
  std::error_code ec;
  return chain.empty() || std::filesystem::is_symlink(chain.back(), ec) ? name : chain.back();
}

std::filesystem::path made_path(const std::filesystem::path& name) {
  std::error_code ec;
  std::filesystem::path made =
      std::filesystem::weakly_canonical(std::filesystem::absolute(followed_link(name), ec), ec);
  if (!made.has_filename()) made = made.parent_path();
  return ec ? std::filesystem::path() : made;
}

}  // namespace platform::ds
