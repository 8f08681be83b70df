#include "platform/datasets/resolved_path.h"

#include <linux/magic.h>
#include <sys/vfs.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <deque>
#include <vector>

#include "platform/datasets/descriptor_name.h"

namespace platform::ds {
namespace {

namespace fs = std::filesystem;

constexpr int kMostLinks = 40;  // as the kernel follows at most

enum class Ends { AtFile, AtFolder, AtMadeFolder };

// A name still to walk. One from the target of a link met on the way to a
// folder is `silent`: messages name that folder by the link, as the user
// wrote it, rather than by where it leads.
struct Name {
  std::string text;
  bool silent = false;
};

// Where a walk stands: the folder reached so far, how messages name it,
// and the names still to go.
struct Walk {
  Descriptor folder;
  fs::path shown;  // the folder as the user's texts name it
  fs::path trail;  // the same with every link's target written out, to name a link met in one
  fs::path real;   // absolute, links resolved; empty when unknown
  std::deque<Name> names;
  int links = 0;        // followed, or folders made, so far: bounded as the kernel bounds links
  bool linked = false;  // a link at the last name was followed
  fs::path device_link;  // the first link at the last name followed among the devices (/dev/stdout)
};

// Queues the names of `text` before those still to go; an absolute text
// starts again from the root. A trailing separator is kept as an empty
// name: the name before it must be a folder (j.json/ names no file).
bool queue_front(Walk* w, const fs::path& text, bool silent) {
  if (text.is_absolute()) {
    w->folder = Descriptor(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    w->trail = w->real = "/";
    if (!silent) w->shown = "/";
    if (!w->folder) return false;
  }
  std::vector<Name> names;
  for (const fs::path& name : text.relative_path()) names.push_back({name.string(), silent});
  w->names.insert(w->names.begin(), names.begin(), names.end());
  return true;
}

// Moves the walk into `name` of its folder, open as `folder`.
void enter(Walk* w, const Name& name, Descriptor folder) {
  w->folder = std::move(folder);
  if (!name.silent) w->shown /= name.text;
  w->trail /= name.text;
  if (w->real.empty() || name.text == ".") return;
  w->real = name.text == ".." ? w->real.parent_path() : w->real / name.text;
}

// Whether the absolute folder `real` is /dev or a folder in it.
bool among_devices(const fs::path& real) {
  const fs::path devices = "/dev";
  return std::mismatch(devices.begin(), devices.end(), real.begin(), real.end()).first == devices.end();
}

bool on_proc(int folder) {
  struct statfs fs;
  return ::fstatfs(folder, &fs) == 0 && fs.f_type == PROC_SUPER_MAGIC;
}

// Whether the folder is on a file system of the kernel's objects (/proc,
// /sys and those mounted in it), whose files are the system's settings.
bool on_kernel_objects(int folder) {
  struct statfs fs;
  if (::fstatfs(folder, &fs) != 0) return false;
  switch (fs.f_type) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
    case PSTOREFS_MAGIC:
    case EFIVARFS_MAGIC:
    case BPF_FS_MAGIC:
      return true;
    default:
      return false;
  }
}

// Why the link `name` (status `link`) in the walk's folder is not
// followed, or empty.
std::string planted_link_refusal(const Walk& w, const Name& name, const struct stat& link) {
  struct stat dir;
  if (::fstat(w.folder.get(), &dir) != 0) return {};
  const bool shared = (dir.st_mode & (S_ISVTX | S_IWOTH)) == (S_ISVTX | S_IWOTH);
  if (!shared || link.st_uid == ::geteuid() || link.st_uid == dir.st_uid) return {};
  const fs::path& folder = name.silent ? w.trail : w.shown;
  return "the link " + (folder / name.text).string() + " belongs neither to this user nor to the owner of the sticky " +
         "folder " + (folder.empty() ? std::string(".") : folder.string()) +
         ", which anyone may write, so it is not followed";
}

// The target of the link open (O_PATH) as `link`: read from the very link
// whose owner was looked at.
std::string link_text(int link) {
  std::string text(PATH_MAX, '\0');
  const ssize_t size = ::readlinkat(link, "", text.data(), text.size());
  text.resize(size < 0 ? 0 : static_cast<std::size_t>(size));
  return text;
}

// The walk ends at `name` in its folder.
ResolvedPath found(Walk w, std::string name) {
  ResolvedPath out;
  out.folder = std::move(w.folder);
  out.folder_shown = std::move(w.shown);
  out.folder_real = std::move(w.real);
  out.name = std::move(name);
  out.linked = w.linked;
  if (!out.folder_real.empty()) out.stream = descriptor_in(out.folder_real, out.name);
  // The system's name of a stream (/dev/stderr), not the link in /proc
  // (/proc/self/fd/2) that it leads to.
  if (out.stream >= 0) out.stream_shown = std::move(w.device_link);
  return out;
}

// The walk stops short at `name`: the file is named by what was walked and
// what was still to go.
ResolvedPath stopped(Walk w, const Name& name, int error, std::string refusal = {}) {
  fs::path rest = w.shown;
  if (!name.silent) rest /= name.text;
  for (const Name& next : w.names)
    if (!next.silent) rest /= next.text;
  w.shown = rest.parent_path();
  ResolvedPath out = found(std::move(w), rest.filename().string());
  out.error = refusal.empty() ? error : 0;
  out.refusal = std::move(refusal);
  return out;
}

ResolvedPath walk(Walk w, AtLink at_last, Ends ends);

// A link at the last name that is replaced rather than followed: what it
// leads to when that is written in place, else the link itself.
ResolvedPath replaced_link(const Walk& w, const std::string& name, const struct stat& link) {
  Walk end = w;
  end.names = {{name}};
  if (ResolvedPath led = walk(std::move(end), AtLink::Follow, Ends::AtFile); led.ok() && led.in_place()) return led;
  ResolvedPath out = found(w, name);
  out.exists = true;
  out.status = link;
  return out;
}

// A process's descriptor (/proc/self/fd/1): what it leads to is no name
// to walk, and only an open of the link reaches it.
ResolvedPath kernel_link(Walk w, const std::string& name) {
  ResolvedPath out = found(std::move(w), name);
  out.kernel_link = true;
  out.exists = ::fstatat(out.folder.get(), out.name.c_str(), &out.status, 0) == 0;
  return out;
}

ResolvedPath walk(Walk w, AtLink at_last, Ends ends) {
  while (!w.names.empty()) {
    const Name name = std::move(w.names.front());
    w.names.pop_front();
    const bool last = w.names.empty() && ends == Ends::AtFile;
    if (name.text.empty()) continue;  // a trailing separator, after a folder entered
    const bool folder_named = !w.names.empty() && w.names.front().text.empty();
    if (name.text == "." || name.text == "..") {
      Descriptor up(name.text == ".." ? ::openat(w.folder.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC)
                                      : ::fcntl(w.folder.get(), F_DUPFD_CLOEXEC, 0));
      if (!up) return stopped(std::move(w), name, errno);
      enter(&w, name, std::move(up));
      continue;
    }
    Descriptor at(::openat(w.folder.get(), name.text.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!at && errno == ENOENT && last) return found(std::move(w), name.text);
    // A file's name with a trailing separator, as the system takes it.
    if (!at && errno == ENOENT && folder_named && ends == Ends::AtFile) return stopped(std::move(w), name, ENOTDIR);
    if (!at && errno == ENOENT && ends == Ends::AtMadeFolder && ++w.links <= kMostLinks &&
        (::mkdirat(w.folder.get(), name.text.c_str(), 0777) == 0 || errno == EEXIST)) {
      w.names.push_front(name);  // looked at again, as made
      continue;
    }
    struct stat st;
    if (!at || ::fstat(at.get(), &st) != 0) return stopped(std::move(w), name, errno);
    if (S_ISLNK(st.st_mode)) {
      if (last && on_proc(w.folder.get())) return kernel_link(std::move(w), name.text);
      if (last && at_last == AtLink::Replace) return replaced_link(w, name.text, st);
      if (++w.links > kMostLinks) return stopped(std::move(w), name, ELOOP);
      if (std::string refusal = planted_link_refusal(w, name, st); !refusal.empty())
        return stopped(std::move(w), name, 0, std::move(refusal));
      // A link to a folder on the way is named as written; one at the last
      // name leads to the file, named as the link gives it.
      if (!last && !name.silent) w.shown /= name.text;
      if (last && w.device_link.empty() && among_devices(w.real))
        w.device_link = (name.silent ? w.trail : w.shown) / name.text;
      if (!queue_front(&w, link_text(at.get()), !last)) return stopped(std::move(w), name, errno);
      w.linked = w.linked || last;
      continue;
    }
    if (last) {
      ResolvedPath out = found(std::move(w), name.text);
      out.exists = true;
      out.status = st;
      return out;
    }
    if (!S_ISDIR(st.st_mode)) return stopped(std::move(w), name, ENOTDIR);
    enter(&w, name, std::move(at));
  }
  // The path ends at a folder: the folder itself ("g/." for a file).
  ResolvedPath out = found(std::move(w), ends == Ends::AtFile ? "." : "");
  out.exists = ::fstat(out.folder.get(), &out.status) == 0;
  return out;
}

Walk from_current_folder() {
  Walk w;
  w.folder = Descriptor(::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC));
  std::error_code ec;
  w.real = fs::current_path(ec);
  return w;
}

ResolvedPath walk_path(const fs::path& path, AtLink at_last, Ends ends) {
  Walk w = from_current_folder();
  if (!w.folder || !queue_front(&w, path, false)) return stopped(std::move(w), {path.string()}, errno);
  return walk(std::move(w), at_last, ends);
}

}  // namespace

std::string ResolvedPath::failure() const { return refusal.empty() ? std::strerror(error) : refusal; }

ResolvedPath resolve_path(const fs::path& path, AtLink at_last) { return walk_path(path, at_last, Ends::AtFile); }

ResolvedPath resolve_folder(const fs::path& path, bool make) {
  return walk_path(path, AtLink::Follow, make ? Ends::AtMadeFolder : Ends::AtFolder);
}

ResolvedPath resolve_beside(const ResolvedPath& beside, const std::string& name) {
  Walk w;
  w.folder = beside.folder;
  w.shown = w.trail = beside.folder_shown;
  w.real = beside.folder_real;
  if (!w.folder || !queue_front(&w, name, false)) return stopped(std::move(w), {name}, errno);
  return walk(std::move(w), AtLink::Follow, Ends::AtFile);
}

namespace {

// Why an open from the look failed: in words, where another process
// changed the name between the look and the open; else the system's.
std::string changed_since_look(const ResolvedPath& file, int flags, int error) {
  if (error == EEXIST && (flags & O_EXCL)) {
    struct stat now;
    const bool link = ::fstatat(file.folder.get(), file.name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
                      S_ISLNK(now.st_mode);
    return std::string("another process put ") + (link ? "a link" : "a file") + " there as the run made it";
  }
  if (error == ENOENT && file.exists) return "another process removed the file as the run opened it";
  if (error == ELOOP && file.exists && !file.kernel_link && !S_ISLNK(file.status.st_mode))
    return "another process put a link there as the run opened it";
  return std::strerror(error);
}

// The stream of the process that `file` reaches, duplicated: opening its
// link in /proc again would fail for a socket (No such device or address)
// and check anew the rights to a pipe or file that another user made and
// handed to the process. -1 with `why` when it is not open for writing.
int duplicate_stream(const ResolvedPath& file, std::string* why) {
  if (const char* closed = closed_standard_stream(file.stream)) {
    *why = std::string(closed) + " is closed";
    errno = EBADF;
    return -1;
  }
  const int fd = ::fcntl(file.stream, F_DUPFD_CLOEXEC, 0);
  if (fd < 0) {
    *why = std::strerror(errno);
    return -1;
  }
  if ((::fcntl(fd, F_GETFL) & O_ACCMODE) == O_RDONLY) {
    ::close(fd);
    *why = "it is open for reading only";
    errno = EBADF;
    return -1;
  }
  return fd;
}

}  // namespace

int open_found(const ResolvedPath& file, int flags, std::string* why) {
  const bool writes = (flags & O_ACCMODE) != O_RDONLY;
  int fd = -1;
  if (file.exists && file.stream >= 0 && writes) {
    if ((fd = duplicate_stream(file, why)) < 0) return -1;
  } else {
    if (!file.exists && writes) flags |= O_CREAT | O_EXCL;
    flags |= O_CLOEXEC | (file.kernel_link ? 0 : O_NOFOLLOW);
    fd = ::openat(file.folder.get(), file.name.c_str(), flags, 0666);
  }
  if (fd < 0) {
    const int error = errno;
    *why = changed_since_look(file, flags, error);
    errno = error;
    return -1;
  }
  struct stat st;
  if (file.exists && (::fstat(fd, &st) != 0 || st.st_dev != file.status.st_dev || st.st_ino != file.status.st_ino)) {
    ::close(fd);
    *why = "another process put another file there as the run opened it";
    errno = ESTALE;
    return -1;
  }
  return fd;
}

bool holds_devices(const ResolvedPath& file) {
  if (on_kernel_objects(file.folder.get())) return true;
  // Judged by the folder's file system, not by its path: /dev bound
  // elsewhere (mount --bind /dev X) holds the same devices under another
  // name. Only where /dev is no file system of its own does its path tell.
  struct stat here, dev, root;
  if (::fstat(file.folder.get(), &here) != 0 || ::stat("/dev", &dev) != 0 || here.st_dev != dev.st_dev) return false;
  if (::stat("/", &root) != 0 || root.st_dev != dev.st_dev) return true;
  return among_devices(file.folder_real);
}

}  // namespace platform::ds
