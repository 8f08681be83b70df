// A file that appears whole or not at all: what is written goes to a
// hidden temporary file beside the target (.ruva-PID-N), and only `commit` moves it to the
// target's name, so that no reader sees half a file and a failed write
// leaves the file it would have replaced as it was. A file destroyed
// uncommitted removes its temporary file. A target that exists and is not
// a regular file (/dev/null, a pipe), or that names one of the process's
// streams (/dev/stdout), cannot be replaced, so it is written in place; a
// pipe that no process reads fails at once instead of waiting for one. A
// file this user may not replace (replace_rights.h), and a link another
// user planted in a shared folder (planted_link_refusal), are refused at
// the open.
// Data sets, their descriptions, graph files and the report are all
// written this way.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/datasets/link_chain.h"

namespace platform::ds {

// What becomes of a symbolic link at the target's name: data sets follow
// it to the file it names (a library may be a link); graph files and the
// report replace the link itself, so that a link planted where they go
// never leads them over another file.
enum class AtLink { Follow, Replace };

// Whether `target` is written in place rather than replaced: it exists and
// is no regular file (a device, a pipe), or it names a stream of the
// process (/dev/stdout).
bool written_in_place(const std::filesystem::path& target);

class WholeFile {
 public:
  WholeFile() = default;
  ~WholeFile();
  WholeFile(const WholeFile&) = delete;
  WholeFile& operator=(const WholeFile&) = delete;

  // Creates the temporary file for `target`; false with the reason.
  bool open(const std::filesystem::path& target, std::string* why, AtLink at_link = AtLink::Follow);
  // Appends `text`; false with the reason.
  bool write(std::string_view text, std::string* why);
  // Passes what is written so far on to a target written in place, so
  // that a pipe's reader sees it as it comes; a temporary file keeps it
  // in its buffer. False with the reason.
  bool flush(std::string* why);
  // Flushes and closes the file, through to the disk when `durable`; false
  // with the reason, and then the temporary file is removed.
  bool finish(bool durable, std::string* why);
  // Moves the finished file to the target's name; false with the reason,
  // and then the temporary file is removed.
  bool commit(std::string* why);
  // Closes and removes the temporary file; the target is left as it was.
  void abandon();
  // Whether the last open wrote the target in place (written_in_place).
  bool in_place() const { return in_place_; }

 private:
  bool open_in_place(std::string* why);
  // Stops tracking the temporary file, once it is removed or renamed.
  void forget_temporary();

  std::FILE* file_ = nullptr;
  std::filesystem::path target_;
  std::filesystem::path temp_;  // empty when written in place
  int ticket_ = -1;  // tracks temp_ for a run stopped by a signal (temporary_files.h)
  bool finished_ = false;
  bool in_place_ = false;
};

// Writes `text` as the whole of `target` (finish, then commit); false with
// the reason, and then nothing new is left behind.
bool write_whole_file(const std::filesystem::path& target, std::string_view text, bool durable,
                      std::string* why, AtLink at_link = AtLink::Follow);

}  // namespace platform::ds
