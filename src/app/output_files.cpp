#include "app/output_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "app/output_guard.h"
#include "app/output_rights.h"
#include "platform/datasets/descriptor_name.h"
#include "platform/datasets/whole_file.h"
#include "platform/listing/log.h"

namespace app {
namespace {

namespace fs = std::filesystem;

constexpr int kMsgCannotWrite = 236;
constexpr int kMsgPipeWithoutReader = 237;
constexpr int kMsgCannotWriteWhy = 238;
constexpr int kMsgGraphsFolder = 239;

// Writes an ERROR line before the log file, if any, is open.
template <typename... Inserts>
bool refuse(std::ostream& log, int number, const Inserts&... inserts) {
  platform::Log(log).error(platform::message_text(1, number, inserts.c_str()...));
  return false;
}

// Whether `file` can be opened for writing, found without changing it: an
// existing file is opened without truncating it, a new one made and
// removed again.
bool can_open(const std::string& file, const struct stat* existing) {
  const int fd = existing ? ::open(file.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)
                          : ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  ::close(fd);
  if (!existing) ::unlink(file.c_str());
  return true;
}

}  // namespace

OutputFiles::~OutputFiles() {
  for (int fd : held_pipes_) ::close(fd);
}

bool OutputFiles::hold_pipe(const std::string& file, const char* what, std::ostream& log_default) {
  const int fd = ::open(file.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    return errno == ENXIO ? refuse(log_default, kMsgPipeWithoutReader, std::string(what), file)
                          : refuse(log_default, kMsgCannotWrite, std::string(what), file);
  held_pipes_.push_back(fd);
  return true;
}

// The listing and the log are written into their file as the run goes;
// so are the JSON lines into a stream, a pipe or a device, and into a
// temporary file otherwise (json_file.h).
bool OutputFiles::check_stream(const std::string& file, const char* what, std::ostream& log_default) {
  if (file.empty()) return true;
  struct stat st;
  const bool exists = ::stat(file.c_str(), &st) == 0;
  if (exists && S_ISFIFO(st.st_mode)) return hold_pipe(file, what, log_default);
  if (!can_open(file, exists ? &st : nullptr)) return refuse(log_default, kMsgCannotWrite, std::string(what), file);
  if (const std::string refused = unreplaceable_stream(file, what); !refused.empty()) {
    platform::Log(log_default).error(refused);
    return false;
  }
  return true;
}

// The report is written whole at the end (whole_file.h): a trial file shows
// now whether it can be, and leaves an earlier report as it was.
bool OutputFiles::check_whole(const std::string& file, std::ostream& log_default) {
  if (file.empty()) return true;
  struct stat st;
  if (::stat(file.c_str(), &st) == 0 && S_ISFIFO(st.st_mode)) return hold_pipe(file, "report", log_default);
  platform::ds::WholeFile trial;
  std::string why;
  return trial.open(file, &why, platform::ds::AtLink::Replace) ||
         refuse(log_default, kMsgCannotWriteWhy, std::string("report"), why);
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
  if (!(check_stream(cmd.log, "log file", log_default) && check_stream(cmd.listing, "listing file", log_default) &&
        check_stream(cmd.json, "JSON file", log_default) && check_whole(cmd.html, log_default)))
    return false;
  if (const std::string refused = unreplaceable_output(cmd, programs); !refused.empty()) {
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
  if (!cmd.json.empty() && !json_file.open(cmd.json))
    return refuse(log_default, kMsgCannotWrite, std::string("JSON file"), cmd.json);
  const struct {
    std::ofstream* stream;
    const std::string* file;
    const char* what;
  } files[] = {{&log_file, &cmd.log, "log file"}, {&listing_file, &cmd.listing, "listing file"}};
  for (const auto& [stream, file, what] : files) {
    if (file->empty()) continue;
    // A stream of the process (/dev/stdout) is written on as it stands,
    // without truncating the file behind it.
    stream->open(*file, platform::ds::descriptor_named(*file) >= 0 ? std::ios::app : std::ios::out);
    // Only a file changed since its check fails here.
    if (!*stream) return refuse(*log, kMsgCannotWrite, std::string(what), *file);
    if (stream == &log_file) log = &log_file;
  }
  if (!cmd.listing.empty()) listing = &listing_file;
  return true;
}

}  // namespace app
