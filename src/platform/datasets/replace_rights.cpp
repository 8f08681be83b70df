#include "platform/datasets/replace_rights.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::ds {

std::string replace_refusal(const std::filesystem::path& file) {
  struct stat st;
  if (::lstat(file.c_str(), &st) != 0 || !(S_ISREG(st.st_mode) || S_ISLNK(st.st_mode))) return {};
  // Effective ids, as the open and the rename will be checked with.
  if (S_ISREG(st.st_mode) && ::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) != 0)
    return "this user may not write it";
  const std::string folder = file.has_parent_path() ? file.parent_path().string() : std::string(".");
  struct stat dir;
  if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0 || ::stat(folder.c_str(), &dir) != 0)
    return "this user may not replace files in the folder " + folder;
  const uid_t user = ::geteuid();
  if ((dir.st_mode & S_ISVTX) && user != 0 && st.st_uid != user && dir.st_uid != user)
    return "the folder " + folder + " is sticky, and neither it nor the file belongs to this user";
  return {};
}

}  // namespace platform::ds
