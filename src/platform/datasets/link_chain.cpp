#include "platform/datasets/link_chain.h"

#include <sys/stat.h>
#include <unistd.h>

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

std::string planted_link_refusal(const std::filesystem::path& name) {
  std::vector<std::filesystem::path> links = link_chain(name);
  links.insert(links.begin(), name);
  for (const std::filesystem::path& link : links) {
    const std::filesystem::path folder = link.has_parent_path() ? link.parent_path() : std::filesystem::path(".");
    struct stat st, dir;
    if (::lstat(link.c_str(), &st) != 0 || !S_ISLNK(st.st_mode) || ::stat(folder.c_str(), &dir) != 0) continue;
    const bool shared = (dir.st_mode & (S_ISVTX | S_IWOTH)) == (S_ISVTX | S_IWOTH);
    if (shared && st.st_uid != ::geteuid() && st.st_uid != dir.st_uid)
      return "the link " + link.string() + " belongs neither to this user nor to the owner of the sticky folder " +
             folder.string() + ", which anyone may write, so it is not followed";
  }
  return {};
}

}  // namespace platform::ds
