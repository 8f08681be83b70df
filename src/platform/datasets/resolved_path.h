// A path looked at once, name by name, with descriptors: each folder on
// the way is opened where it stands (O_PATH, never through a link), each
// link met is read where it stands, and what the path names ends as a
// folder's descriptor and a name in that folder. Everything the run then
// does with the file (make, open, rename, place its description beside
// it, lock its folder) is done relative to that descriptor (openat,
// renameat), so that a link put on the way after the look cannot lead the
// run's writes or reads elsewhere. Outputs and inputs alike are reached so.
//
// Links are followed as the kernel's protected_symlinks has it, whatever
// that setting says, and for every link on the way, folders included: a
// link in a sticky folder that anyone may write (/tmp) is followed only
// when it belongs to this user or to the folder's owner, so that no other
// user can plant one that leads the run elsewhere.
//
// Files are named as the user's texts give them: a link's target is joined
// to the folder of the link as it was named (sub/l.csv -> ../x.csv gives
// sub/../x.csv), so that messages show the names the user wrote.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "platform/datasets/descriptor.h"

namespace platform::ds {

// What becomes of a symbolic link at the path's last name: data sets,
// the listing, the log and the JSON file follow it to the file it names
// (a library may be a link); graph files and the report replace the link
// itself, so that a link planted where they go never leads them over
// another file, unless it leads to a device or a stream, which they are
// then written to.
enum class AtLink { Follow, Replace };

struct ResolvedPath {
  Descriptor folder;                   // the folder that holds `name` (O_PATH)
  std::filesystem::path folder_shown;  // that folder as messages name it; empty for the current folder
  std::filesystem::path folder_real;   // its absolute path, links resolved; empty when unknown
  std::string name;                    // the last name; "." or empty when the path names the folder itself
  bool exists = false;                 // something was at `name` when looked at
  struct stat status {};               // of that (of a kernel link's end)
  bool linked = false;                 // reached through a link at the path's last name
  bool kernel_link = false;            // a link of /proc that only an open follows (/proc/self/fd/1)
  int stream = -1;                     // the descriptor of this process it reaches (/dev/stdout), or -1
  std::filesystem::path stream_shown;  // such a stream as the user named it (/dev/stderr), where the walk
                                       // went on through the system's link into /proc; else empty
  int error = 0;                       // why the walk stopped short (errno), or 0
  std::string refusal;                 // the link on the way that is not followed, or empty

  bool ok() const { return error == 0 && refusal.empty(); }
  // The file as messages name it; the folder itself for a path that ends
  // at one ("g/.").
  std::filesystem::path shown() const {
    if (!stream_shown.empty()) return stream_shown;
    return name.empty() || name == "." ? folder_shown : folder_shown / name;
  }
  std::string shown_folder() const { return folder_shown.empty() ? std::string(".") : folder_shown.string(); }
  // Why the walk stopped short: the refusal, or the system's words.
  std::string failure() const;
  // Written in place rather than replaced: a device, a pipe or a folder
  // there, or a stream of the process.
  bool in_place() const {
    return exists && (stream >= 0 || !(S_ISREG(status.st_mode) || S_ISLNK(status.st_mode)));
  }
};

// Walks `path` from the current folder (or the root).
ResolvedPath resolve_path(const std::filesystem::path& path, AtLink at_last = AtLink::Follow);
// Walks `name` from the folder that holds `beside` (a description beside
// its data set).
ResolvedPath resolve_beside(const ResolvedPath& beside, const std::string& name);
// Walks the folder `path` itself, making those of its folders that are
// missing when `make`; the result's `folder` is that folder, `name` empty.
ResolvedPath resolve_folder(const std::filesystem::path& path, bool make);

// Opens the file the walk found, relative to its folder and without
// following a link at its name (a kernel link aside): -1 with `why` (a
// clause) unless it is the very file that was looked at. Where nothing
// was, a file is made (for writing), and -1 with errno EEXIST means that
// another process put something there since. A stream of the process
// (/dev/stdout) opened for writing is written on as it stands: the
// result is a duplicate of its descriptor, which must be open for
// writing, and `flags` leave the stream's own as they are.
int open_found(const ResolvedPath& file, int flags, std::string* why);

// Whether the folder holds the system's devices (the file system of /dev,
// wherever it is mounted, and /sys with those mounted in it) or processes
// (/proc), where the run makes no file of its own.
bool holds_devices(const ResolvedPath& file);

}  // namespace platform::ds
