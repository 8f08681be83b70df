#include "app/output_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "app/output_guard.h"
#include "app/output_rights.h"
#include "platform/datasets/descriptor_name.h"
#include "platform/datasets/link_chain.h"
#include "platform/datasets/whole_file.h"
#include "platform/listing/log.h"

namespace app {
namespace {

namespace fs = std::filesystem;

constexpr int kMsgPipeWithoutReader = 237;
constexpr int kMsgCannotWriteWhy = 238;
constexpr int kMsgGraphsFolder = 239;

// Writes an ERROR line before the log file, if any, is open.
template <typename... Inserts>
bool refuse(std::ostream& log, int number, const Inserts&... inserts) {
  platform::Log(log).error(platform::message_text(1, number, inserts.c_str()...));
  return false;
}

std::string cannot_open(const std::string& file, int error) {
  return "the file " + file + " cannot be opened for writing: " + std::strerror(error);
}

// Why the run could not write `file`, found without making, opening or
// removing that name, which another run may fill meanwhile: a file of the
// run's own name is made in its folder and removed again (whole_file.h);
// a device or a stream at the name is opened as it will be. A name that
// cannot be reached (too long, or through a folder this user may not
// search) is refused as its open would be.
std::string trial_refusal(const std::string& file, platform::ds::AtLink at_link) {
  struct stat st;
  if (::lstat(file.c_str(), &st) != 0 && errno != ENOENT) return cannot_open(file, errno);
  platform::ds::WholeFile trial;
  std::string why;
  return trial.open(file, &why, at_link) ? std::string() : why;
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

// Why this user may not write the existing regular file `file` in place;
// its folder need not take new files.
std::string unwritable_in_place(const std::string& file) {
  // Effective ids, as the open will be checked with.
  if (::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) != 0) return cannot_open(file, errno);
  // The open may make the file, and the system may refuse that whatever
  // the file's mode (protected_sticky_rights).
  const fs::path folder = platform::ds::followed_link(file).parent_path();
  const std::string shown = folder.empty() ? std::string(".") : folder.string();
  struct stat st, dir;
  if (::stat(file.c_str(), &st) == 0 && ::stat(shown.c_str(), &dir) == 0 && (dir.st_mode & S_ISVTX) &&
      (dir.st_mode & protected_sticky_rights()) && st.st_uid != ::geteuid() && st.st_uid != dir.st_uid)
    return "the folder " + shown + " is sticky, and the file belongs neither to this user nor to the folder's owner";
  return {};
}

// Why the run could not write `file` in place (opened, truncated,
// written): an existing file must take this user's open, whatever its
// folder; a new one needs a folder that takes files. A link that leads to
// no file is refused: its open would make a file elsewhere, at the link's
// end, where this check does not look. So is a link another user planted
// (link_chain.h), which the kernel follows where its setting allows it.
// Whether the name is a link is seen in one look, so that a file that
// another run makes meanwhile is not taken for the end of a link.
std::string in_place_refusal(const std::string& file) {
  if (std::string refusal = platform::ds::planted_link_refusal(file); !refusal.empty()) return refusal;
  struct stat st;
  if (::lstat(file.c_str(), &st) != 0) return trial_refusal(file, platform::ds::AtLink::Follow);
  if (S_ISLNK(st.st_mode) && ::stat(file.c_str(), &st) != 0)
    return errno == ENOENT ? "the file " + file + " is a link that leads to no file" : cannot_open(file, errno);
  if (S_ISREG(st.st_mode) && platform::ds::descriptor_named(file) < 0) return unwritable_in_place(file);
  return trial_refusal(file, platform::ds::AtLink::Follow);
}

}  // namespace

OutputFiles::~OutputFiles() {
  for (int fd : held_pipes_) ::close(fd);
}

bool OutputFiles::hold_pipe(const std::string& file, const char* what, std::ostream& log_default) {
  if (const std::string refusal = platform::ds::planted_link_refusal(file); !refusal.empty())
    return refuse(log_default, kMsgCannotWriteWhy, std::string(what), refusal);
  const int fd = ::open(file.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    return errno == ENXIO ? refuse(log_default, kMsgPipeWithoutReader, std::string(what), file)
                          : refuse(log_default, kMsgCannotWriteWhy, std::string(what), cannot_open(file, errno));
  held_pipes_.push_back(fd);
  return true;
}

// The listing and the log are written into their file as the run goes.
bool OutputFiles::check_in_place(const std::string& file, const char* what, std::ostream& log_default) {
  if (file.empty()) return true;
  struct stat st;
  if (::stat(file.c_str(), &st) == 0 && S_ISFIFO(st.st_mode)) return hold_pipe(file, what, log_default);
  const std::string why = in_place_refusal(file);
  return why.empty() || refuse(log_default, kMsgCannotWriteWhy, std::string(what), why);
}

// The JSON file and the report are written whole, through a temporary file
// that takes the name at the end (whole_file.h): a trial one shows now
// whether they can be, and leaves an earlier file as it was.
bool OutputFiles::check_whole(const std::string& file, const char* what, platform::ds::AtLink at_link,
                              std::ostream& log_default) {
  if (file.empty()) return true;
  struct stat st;
  if (::stat(file.c_str(), &st) == 0 && S_ISFIFO(st.st_mode)) return hold_pipe(file, what, log_default);
  const std::string why = trial_refusal(file, at_link);
  return why.empty() || refuse(log_default, kMsgCannotWriteWhy, std::string(what), why);
}

// The graphs folder is made last, once everything else has passed, and
// must take new files.
bool OutputFiles::check_graphs(const std::string& folder, std::ostream& log_default) {
  if (folder.empty()) return true;
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (!fs::is_directory(folder, ec)) return refuse(log_default, kMsgGraphsFolder, folder);
  platform::ds::WholeFile trial;
  std::string why;
  return trial.open(fs::path(folder) / "step0_check.svg", &why) ||
         refuse(log_default, kMsgCannotWriteWhy, std::string("graphs"), why);
}

bool OutputFiles::check(const CommandLine& cmd, ProgramTexts& programs, std::ostream& log_default) {
  if (const std::string clash = output_clash(cmd, programs); !clash.empty()) {
    platform::Log(log_default).error(clash);
    return false;
  }
  using platform::ds::AtLink;
  if (!(check_in_place(cmd.log, "log file", log_default) && check_in_place(cmd.listing, "listing file", log_default) &&
        check_whole(cmd.json, "JSON file", AtLink::Follow, log_default) &&
        check_whole(cmd.html, "report", AtLink::Replace, log_default)))
    return false;
  std::string refused = unreplaceable_output(cmd, programs);
  if (refused.empty()) refused = in_place_data_sets_.check(cmd, programs);
  if (!refused.empty()) {
    platform::Log(log_default).error(refused);
    return false;
  }
  return check_graphs(cmd.graphs, log_default);
}

bool OutputFiles::open(const CommandLine& cmd, ProgramTexts& programs, std::ostream& listing_default,
                       std::ostream& log_default) {
  listing = &listing_default;
  log = &log_default;
  if (!check(cmd, programs, log_default)) return false;
  // Opened first: its temporary file replaces nothing, so that if it
  // cannot be made the other outputs are still as they were.
  if (std::string why; !cmd.json.empty() && !json_file.open(cmd.json, &why))
    return refuse(log_default, kMsgCannotWriteWhy, std::string("JSON file"), why);
  // Opened as they stand: another run may be writing them until this one
  // holds them (held_outputs.h), and only then are they truncated (begin).
  std::vector<HeldOutput> opened;
  for (const HeldOutput& o : {HeldOutput{&log_file, cmd.log, "log file"},
                              HeldOutput{&listing_file, cmd.listing, "listing file"}}) {
    if (o.file.empty()) continue;
    o.stream->open(o.file);
    // Only a file changed since its check fails here.
    if (!*o.stream) return refuse(log_default, kMsgCannotWriteWhy, std::string(o.what), cannot_open(o.file, errno));
    opened.push_back(o);
  }
  held_ = hold_for_run(opened, log_default);
  return true;
}

bool OutputFiles::begin(std::ostream& log_default) {
  if (const std::string refused = truncate_held(held_); !refused.empty()) {
    platform::Log(log_default).error(refused);
    return false;
  }
  if (log_file.descriptor() >= 0) log = &log_file;
  if (listing_file.descriptor() >= 0) listing = &listing_file;
  return true;
}

}  // namespace app
