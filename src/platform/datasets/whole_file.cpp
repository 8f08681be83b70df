#include "platform/datasets/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/datasets/descriptor_name.h"
#include "platform/datasets/replace_rights.h"
#include "platform/datasets/temporary_files.h"

namespace platform::ds {
namespace {

// A short name of its own in the target's folder (.ruva-PID-N), not the
// target's name with a suffix: any name the file system allows for the
// target can then be written, even one at the longest a name may be.
std::filesystem::path temporary_name(const std::filesystem::path& target) {
  static std::atomic<unsigned> counter{0};
  return target.parent_path() / (".ruva-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
}

std::string folder_of(const std::filesystem::path& target) {
  return target.has_parent_path() ? target.parent_path().string() : std::string(".");
}

}  // namespace

bool written_in_place(const std::filesystem::path& target) {
  struct stat st;
  return (::stat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) || descriptor_named(target) >= 0;
}

WholeFile::~WholeFile() { abandon(); }

bool WholeFile::open(const std::filesystem::path& target, std::string* why, AtLink at_link) {
  abandon();
  target_ = target;
  in_place_ = written_in_place(target);
  if (at_link == AtLink::Follow || in_place_) {
    if (std::string refusal = planted_link_refusal(target); !refusal.empty()) {
      *why = std::move(refusal);
      return false;
    }
  }
  if (in_place_) return open_in_place(why);
  if (at_link == AtLink::Follow) target_ = followed_link(target);
  // Refused now rather than at the commit, and over a file the user may
  // not write, which the rename alone would allow.
  if (const std::string refusal = replace_refusal(target_); !refusal.empty()) {
    *why = "the file " + target_.string() + " may not be replaced: " + refusal;
    return false;
  }
  temp_ = temporary_name(target_);
  file_ = create_temporary(temp_.c_str(), &ticket_);
  if (!file_) {
    *why = "no file can be created in the folder " + folder_of(target_) + ": " + std::strerror(errno);
    temp_.clear();
    return false;
  }
  static constexpr std::size_t kBuffer = 1 << 20;
  std::setvbuf(file_, nullptr, _IOFBF, kBuffer);
  return true;
}

// Without a reader a pipe would hold the open for ever: opened without
// waiting, it fails at once instead, and then it is written as any file.
// Appending, as a stream of the process does: /dev/stdout for a file the
// shell appends to keeps what the file held.
bool WholeFile::open_in_place(std::string* why) {
  const int fd = ::open(target_.c_str(), O_WRONLY | O_APPEND | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0 && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0) file_ = ::fdopen(fd, "wb");
  if (file_) return true;
  const int error = errno;
  if (fd >= 0) ::close(fd);
  // ENXIO means no reader only for a pipe: elsewhere it is what the system
  // says (/dev/tty without a terminal).
  struct stat st;
  const bool pipe = error == ENXIO && ::stat(target_.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
  *why = pipe ? "no process reads the pipe " + target_.string()
              : "the file " + target_.string() + " cannot be opened for writing: " + std::strerror(error);
  return false;
}

bool WholeFile::write(std::string_view text, std::string* why) {
  if (!file_) {
    *why = "the file " + target_.string() + " is not open";
    return false;
  }
  if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() || std::ferror(file_)) {
    *why = "writing " + target_.string() + " failed: " + std::strerror(errno);
    return false;
  }
  return true;
}

bool WholeFile::flush(std::string* why) {
  if (!write({}, why)) return false;  // not open, or an earlier write failed
  if (!temp_.empty() || std::fflush(file_) == 0) return true;
  *why = "writing " + target_.string() + " failed: " + std::strerror(errno);
  return false;
}

bool WholeFile::finish(bool durable, std::string* why) {
  if (!file_) {
    *why = "the file " + target_.string() + " is not open";
    return false;
  }
  // A device written in place has nothing to make durable.
  const bool flushed =
      std::fflush(file_) == 0 && !std::ferror(file_) && (!durable || temp_.empty() || ::fsync(::fileno(file_)) == 0);
  std::string reason = flushed ? "" : std::strerror(errno);
  const bool closed = std::fclose(file_) == 0;
  if (!closed && reason.empty()) reason = std::strerror(errno);
  file_ = nullptr;
  if (!flushed || !closed) {
    *why = "writing " + target_.string() + " failed: " + reason;
    abandon();
    return false;
  }
  finished_ = true;
  return true;
}

bool WholeFile::commit(std::string* why) {
  if (!finished_) {
    *why = "the file " + target_.string() + " is not complete";
    abandon();
    return false;
  }
  finished_ = false;
  if (temp_.empty()) return true;
  if (!rename_temporary(temp_.c_str(), target_.c_str())) {
    const int error = errno;
    *why = "the file " + target_.string() + " cannot be replaced: " + std::strerror(error);
    abandon();
    return false;
  }
  forget_temporary();
  return true;
}

void WholeFile::abandon() {
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
  }
  finished_ = false;
  if (!temp_.empty()) {
    std::error_code ec;
    std::filesystem::remove(temp_, ec);
    forget_temporary();
  }
}

void WholeFile::forget_temporary() {
  release_temporary(ticket_);
  ticket_ = -1;
  temp_.clear();
}

bool write_whole_file(const std::filesystem::path& target, std::string_view text, bool durable,
                      std::string* why, AtLink at_link) {
  WholeFile file;
  return file.open(target, why, at_link) && file.write(text, why) && file.finish(durable, why) && file.commit(why);
}

}  // namespace platform::ds
