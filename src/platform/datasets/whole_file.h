// A file that appears whole or not at all: what is written goes to a
// hidden temporary file beside the target (.ruva-RANDOM), and only `commit` moves it to the
// target's name, so that no reader sees half a file and a failed write
// leaves the file it would have replaced as it was. A file destroyed
// uncommitted removes its temporary file. The target is looked at once
// (resolved_path.h): the temporary file is made, renamed and removed in
// the folder that look found, whatever becomes of the names on the way.
// A target that exists and is not a regular file (/dev/null, a pipe), or
// that names one of the process's streams (/dev/stdout), cannot be
// replaced, so it is written in place; a pipe that no process reads fails
// at once instead of waiting for one. A file this user may not replace
// (replace_rights.h), a link another user planted in a shared folder, and
// a new file among the system's devices or processes (/dev, /sys, /proc) are
// refused at the open.
// Data sets, their descriptions, graph files and the report are all
// written this way.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/datasets/resolved_path.h"

namespace platform::ds {

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

  // Makes a target written in place other than a device (a pipe, a stream
  // of the process) take the text only at the commit, held until then in a
  // temporary file of the system's, so that no reader gets part of what is
  // never committed; asked before the open.
  void hold_in_place_until_commit() { hold_in_place_ = true; }
  // Creates the temporary file for `target`; false with the reason.
  bool open(const std::filesystem::path& target, std::string* why, AtLink at_link = AtLink::Follow);
  // The same for a target already looked at.
  bool open(ResolvedPath target, std::string* why);
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
  // The target, as the last open looked at it.
  const ResolvedPath& target() const { return target_; }

 private:
  bool open_in_place(std::string* why);
  // Passes the text held for the target written in place on to it, then
  // closes both; false with the reason.
  bool pass_on_held(std::string* why);
  // Why the temporary file that holds a target's text failed (a full
  // temporary folder), which writing the target did not.
  std::string held_text_failure(int error) const;
  bool create_temporary_file(std::string* why);
  // Stops tracking the temporary file, once it is removed or renamed.
  void forget_temporary();

  std::FILE* file_ = nullptr;
  ResolvedPath target_;
  std::string shown_;  // the target as messages name it
  std::string temp_;   // the temporary file's name in the target's folder; empty when written in place
  int ticket_ = -1;  // tracks temp_ for a run stopped by a signal (temporary_files.h)
  bool finished_ = false;
  bool in_place_ = false;
  bool hold_in_place_ = false;
  int held_target_ = -1;  // the target written in place, while `file_` holds its text
};

// Writes `text` as the whole of `target` (finish, then commit); false with
// the reason, and then nothing new is left behind.
bool write_whole_file(const std::filesystem::path& target, std::string_view text, bool durable,
                      std::string* why, AtLink at_link = AtLink::Follow);

}  // namespace platform::ds
