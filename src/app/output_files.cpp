#include "app/output_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/output_guard.h"
#include "app/output_rights.h"
#include "platform/datasets/resolved_path.h"
#include "platform/datasets/whole_file.h"
#include "platform/listing/log.h"

namespace app {
namespace {

constexpr int kMsgPipeWithoutReader = 237;
constexpr int kMsgCannotWriteWhy = 238;
constexpr int kMsgGraphsFolder = 239;

// Writes an ERROR line before the log file, if any, is open.
template <typename... Inserts>
bool refuse(std::ostream& log, int number, const Inserts&... inserts) {
  platform::Log(log).error(platform::message_text(1, number, inserts.c_str()...));
  return false;
}

std::string cannot_open(const std::string& file, const std::string& why) {
  return "the file " + file + " cannot be opened for writing: " + why;
}

// Why the run could not write the file looked at as `found`, found without
// making, opening or removing its name, which another run may fill
// meanwhile: a file of the run's own name is made in its folder and
// removed again (whole_file.h); a device or a stream at the name is opened
// as it will be.
std::string trial_refusal(const platform::ds::ResolvedPath& found) {
  platform::ds::WholeFile trial;
  std::string why;
  return trial.open(found, &why) ? std::string() : why;
}

// The folder rights under which the system refuses an open that may make
// the file, of an existing file in a sticky folder that is neither this
// user's nor the folder owner's: none, others' (/tmp), or the group's too,
// as the kernel's setting fs.protected_regular says (assumed on when it
// cannot be read).
mode_t protected_sticky_rights() {
  int level = 1;
  if (FILE* f = std::fopen("/proc/sys/fs/protected_regular", "r")) {
    if (std::fscanf(f, "%d", &level) != 1) level = 1;
    std::fclose(f);
  }
  return level <= 0 ? 0 : level == 1 ? S_IWOTH : (S_IWOTH | S_IWGRP);
}

// Why this user may not write the existing regular file that the look
// `found` saw, named `file`, in place; its folder need not take new files.
// Effective ids, as the open will be checked with.
std::string unwritable_in_place(const platform::ds::ResolvedPath& found, const std::string& file) {
  const int nofollow = found.kernel_link ? 0 : AT_SYMLINK_NOFOLLOW;
  if (::faccessat(found.folder.get(), found.name.c_str(), W_OK, AT_EACCESS | nofollow) != 0)
    return cannot_open(file, std::strerror(errno));
  // The open may make the file, and the system may refuse that whatever
  // the file's mode (protected_sticky_rights).
  struct stat dir;
  if (::fstat(found.folder.get(), &dir) == 0 && (dir.st_mode & S_ISVTX) && (dir.st_mode & protected_sticky_rights()) &&
      found.status.st_uid != ::geteuid() && found.status.st_uid != dir.st_uid)
    return "the folder " + found.shown_folder() +
           " is sticky, and the file belongs neither to this user nor to the folder's owner";
  return {};
}

// Why the run could not write `file` in place (opened, truncated,
// written), as the look `found` saw it: an existing file must take this
// user's open, whatever its folder; a new one needs a folder that takes
// files. A link that leads to no file is refused: its open would make a
// file elsewhere, at the link's end. So is a link another user planted
// (resolved_path.h), which the kernel follows where its setting allows it.
std::string in_place_refusal(const platform::ds::ResolvedPath& found, const std::string& file) {
  if (!found.refusal.empty()) return found.refusal;
  if (found.ok() && !found.exists && found.linked) return "the file " + file + " is a link that leads to no file";
  if (found.exists && S_ISREG(found.status.st_mode) && found.stream < 0) return unwritable_in_place(found, file);
  return trial_refusal(found);
}

}  // namespace

OutputFiles::~OutputFiles() {
  for (int fd : held_pipes_) ::close(fd);
}

bool OutputFiles::hold_pipe(const Found& found, const std::string& file, const char* what,
                            std::ostream& log_default) {
  std::string why;
  const int fd = platform::ds::open_found(found, O_WRONLY | O_NONBLOCK, &why);
  if (fd < 0)
    return errno == ENXIO ? refuse(log_default, kMsgPipeWithoutReader, std::string(what), file)
                          : refuse(log_default, kMsgCannotWriteWhy, std::string(what), cannot_open(file, why));
  held_pipes_.push_back(fd);
  return true;
}

// The listing and the log are written into their file as the run goes.
bool OutputFiles::check_in_place(const std::string& file, const char* what, Found* found,
                                 std::ostream& log_default) {
  if (file.empty()) return true;
  *found = platform::ds::resolve_path(file);
  if (found->ok() && found->exists && S_ISFIFO(found->status.st_mode))
    return hold_pipe(*found, file, what, log_default);
  const std::string why = in_place_refusal(*found, file);
  return why.empty() || refuse(log_default, kMsgCannotWriteWhy, std::string(what), why);
}

// The JSON file and the report are written whole, through a temporary file
// that takes the name at the end (whole_file.h): a trial one shows now
// whether they can be, and leaves an earlier file as it was.
bool OutputFiles::check_whole(const std::string& file, const char* what, platform::ds::AtLink at_link,
                              Found* found, std::ostream& log_default) {
  if (file.empty()) return true;
  *found = platform::ds::resolve_path(file, at_link);
  if (found->ok() && found->exists && S_ISFIFO(found->status.st_mode))
    return hold_pipe(*found, file, what, log_default);
  const std::string why = trial_refusal(*found);
  return why.empty() || refuse(log_default, kMsgCannotWriteWhy, std::string(what), why);
}

// The graphs folder is made last, once everything else has passed, and
// must take new files.
bool OutputFiles::check_graphs(const std::string& folder, std::ostream& log_default) {
  if (folder.empty()) return true;
  const Found graphs = platform::ds::resolve_folder(folder, true);
  if (!graphs.refusal.empty()) return refuse(log_default, kMsgCannotWriteWhy, std::string("graphs"), graphs.refusal);
  if (!graphs.ok()) return refuse(log_default, kMsgGraphsFolder, folder, graphs.failure());
  const std::string why = trial_refusal(platform::ds::resolve_beside(graphs, "step0_check.svg"));
  return why.empty() || refuse(log_default, kMsgCannotWriteWhy, std::string("graphs"), why);
}

bool OutputFiles::check(const CommandLine& cmd, ProgramTexts& programs, std::ostream& log_default) {
  if (const std::string clash = output_clash(cmd, programs); !clash.empty()) {
    platform::Log(log_default).error(clash);
    return false;
  }
  using platform::ds::AtLink;
  Found report;  // written at the end of the run, by its name
  if (!(check_in_place(cmd.log, "log file", &log_found_, log_default) &&
        check_in_place(cmd.listing, "listing file", &listing_found_, log_default) &&
        check_whole(cmd.json, "JSON file", AtLink::Follow, &json_found_, log_default) &&
        check_whole(cmd.html, "report", AtLink::Replace, &report, log_default)))
    return false;
  std::vector<InPlaceDataSet> in_place;
  std::string refused = unreplaceable_output(cmd, programs, &in_place);
  if (refused.empty()) refused = unreadable_pipe(cmd, programs, &held_pipes_);
  if (refused.empty()) refused = in_place_data_sets_.check(std::move(in_place));
  if (!refused.empty()) {
    platform::Log(log_default).error(refused);
    return false;
  }
  return check_graphs(cmd.graphs, log_default);
}

// Opened where the check found it, not following a link at its name, and
// only once the descriptor shows the file that was checked: made now, or
// the very file looked at. A file that another run made since the look is
// looked at and checked as the check would have. Nothing is truncated
// here: another run may be writing the file until this one holds it
// (begin). Appending, as a stream of the process (/dev/stdout) is written
// on: the file behind it keeps what it held.
bool OutputFiles::open_in_place(InPlaceFile& stream, Found found, const std::string& file, const char* what,
                                std::ostream& log_default) {
  const int flags = O_WRONLY | O_APPEND;
  std::string why;
  int fd = platform::ds::open_found(found, flags, &why);
  if (fd < 0 && errno == EEXIST) {
    found = platform::ds::resolve_beside(found, found.name);
    if (why = in_place_refusal(found, file); !why.empty())
      return refuse(log_default, kMsgCannotWriteWhy, std::string(what), why);
    fd = platform::ds::open_found(found, flags, &why);
  }
  if (fd < 0) return refuse(log_default, kMsgCannotWriteWhy, std::string(what), cannot_open(file, why));
  stream.adopt(fd);
  return true;
}

bool OutputFiles::open(const CommandLine& cmd, ProgramTexts& programs,
                       std::ostream& listing_default, std::ostream& log_default,
                       std::vector<platform::ds::RunLock>* run_locks) {
  listing = &listing_default;
  log = &log_default;
  if (!check(cmd, programs, log_default)) return false;
  // Opened first: its temporary file replaces nothing, so that if it
  // cannot be made the other outputs are still as they were.
  if (std::string why; !cmd.json.empty() && !json_file.open(std::move(json_found_), &why))
    return refuse(log_default, kMsgCannotWriteWhy, std::string("JSON file"), why);
  const struct {
    InPlaceFile* stream;
    Found* found;
    const std::string* file;
    const char* what;
  } in_place[] = {{&log_file, &log_found_, &cmd.log, "log file"},
                  {&listing_file, &listing_found_, &cmd.listing, "listing file"}};
  log_on_standard_error_ = cmd.log.empty() || log_found_.stream == STDERR_FILENO;
  std::vector<HeldOutput> files;
  for (const auto& [stream, found, file, what] : in_place) {
    if (file->empty()) continue;
    // A stream of the process (/dev/stdout) is written on as it stands.
    const bool stream_of_process = found->stream >= 0;
    if (!open_in_place(*stream, std::move(*found), *file, what, log_default)) return false;
    if (!stream_of_process) files.push_back({stream, *file, what});
  }
  held_ = hold_for_run(files, log_default);
  *run_locks = std::move(held_.locks);
  return true;
}

bool OutputFiles::begin(std::ostream& log_default) {
  if (const std::string refused = truncate_held(held_.files); !refused.empty()) {
    platform::Log(log_default).error(refused);
    return false;
  }
  if (log_file.descriptor() >= 0) log = &log_file;
  if (listing_file.descriptor() >= 0) listing = &listing_file;
  // A wait was said on standard error as the run waited.
  if (!held_.waited.empty() && !log_on_standard_error_) platform::Log(*log).note(held_.waited);
  for (const std::string& note : held_.passed_by) platform::Log(*log).note(note);
  return true;
}

}  // namespace app
