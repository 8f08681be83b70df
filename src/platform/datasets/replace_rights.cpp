#include "platform/datasets/replace_rights.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform::ds {

std::string replace_refusal(const ResolvedPath& file) {
  const struct stat& st = file.status;
  if (!file.exists || !(S_ISREG(st.st_mode) || S_ISLNK(st.st_mode))) return {};
  // Effective ids, as the open and the rename will be checked with.
  const int folder = file.folder.get();
  // Rights refuse with EACCES; anything else (a read-only file system)
  // is said in the system's words.
  if (S_ISREG(st.st_mode) && ::faccessat(folder, file.name.c_str(), W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) != 0)
    return errno == EACCES ? "this user may not write it" : std::strerror(errno);
  struct stat dir;
  if (::faccessat(folder, ".", W_OK | X_OK, AT_EACCESS) != 0 || ::fstat(folder, &dir) != 0)
    return errno == EACCES ? "this user may not replace files in the folder " + file.shown_folder()
                           : std::string(std::strerror(errno));
  const uid_t user = ::geteuid();
  if ((dir.st_mode & S_ISVTX) && user != 0 && st.st_uid != user && dir.st_uid != user)
    return "the folder " + file.shown_folder() + " is sticky, and neither it nor the file belongs to this user";
  return {};
}

}  // namespace platform::ds
