#include "platform/datasets/whole_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>

#include "platform/datasets/replace_rights.h"
#include "platform/datasets/temporary_files.h"
#include "platform/scratch_file.h"

namespace platform::ds {
namespace {

// A short name of its own in the target's folder (.ruva- and 16 random
// hexadecimal digits), not the target's name with a suffix: any name the
// file system allows for the target can then be written, even one at the
// longest a name may be. Random rather than counted, so that no other user
// of a shared folder can foresee the names and take them first.
std::string temporary_name() {
  std::uint64_t bits = 0;
  if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bits)) {
    // No entropy to be had yet (early at boot): the clock and a counter,
    // still out of another user's sight to the nanosecond.
    static std::atomic<std::uint64_t> counter{0};
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    bits = (static_cast<std::uint64_t>(now.tv_nsec) << 20) ^ static_cast<std::uint64_t>(now.tv_sec) ^
           (++counter << 44) ^ static_cast<std::uint64_t>(::getpid());
  }
  char digits[17];
  std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(bits));
  return std::string(".ruva-") + digits;
}

std::string cannot_create(const ResolvedPath& target, const std::string& why) {
  return "no file can be created in the folder " + target.shown_folder() + ": " + why;
}

}  // namespace

bool written_in_place(const std::filesystem::path& target) { return resolve_path(target).in_place(); }

WholeFile::~WholeFile() { abandon(); }

bool WholeFile::open(const std::filesystem::path& target, std::string* why, AtLink at_link) {
  return open(resolve_path(target, at_link), why);
}

bool WholeFile::open(ResolvedPath target, std::string* why) {
  abandon();
  target_ = std::move(target);
  shown_ = target_.shown().string();
  in_place_ = target_.ok() && target_.in_place();
  if (!target_.ok()) {
    *why = target_.refusal.empty() ? cannot_create(target_, target_.failure()) : target_.refusal;
    return false;
  }
  if (in_place_) return open_in_place(why);
  if (holds_devices(target_)) {
    *why = cannot_create(target_, "it holds the system's devices or processes");
    return false;
  }
  // Refused now rather than at the commit, and over a file the user may
  // not write, which the rename alone would allow.
  if (const std::string refusal = replace_refusal(target_); !refusal.empty()) {
    *why = "the file " + shown_ + " may not be replaced: " + refusal;
    return false;
  }
  return create_temporary_file(why);
}

bool WholeFile::create_temporary_file(std::string* why) {
  // A name may be taken by a file that an earlier process left when it was
  // killed outright: another name is tried.
  constexpr int kMostNames = 100;
  for (int tried = 1;; ++tried) {
    temp_ = temporary_name();
    file_ = create_temporary(target_.folder.get(), temp_.c_str(), &ticket_);
    if (file_ || errno != EEXIST || tried == kMostNames) break;
  }
  if (!file_) {
    *why = cannot_create(target_, std::strerror(errno));
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
  std::string reason;
  const int fd = open_found(target_, O_WRONLY | O_APPEND | O_NONBLOCK, &reason);
  // A device (/dev/null, a terminal) feeds no reader that could take half
  // a file for the whole: it is written as the text comes, held nowhere.
  struct stat st;
  const bool hold = hold_in_place_ && fd >= 0 && ::fstat(fd, &st) == 0 && !S_ISCHR(st.st_mode);
  // A stream of the process is a duplicate that shares its flags with
  // whoever handed the stream over: they are left as they stand.
  const bool blocking =
      fd >= 0 && (target_.stream >= 0 || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0);
  if (blocking) file_ = hold ? platform::scratch_file() : ::fdopen(fd, "wb");
  if (file_ && hold) held_target_ = fd;
  if (file_) return true;
  const int error = errno;
  if (fd >= 0) ::close(fd);
  if (fd >= 0 && hold) {
    *why = held_text_failure(error);
    return false;
  }
  // ENXIO means no reader only for a pipe: elsewhere it is what the system
  // says (/dev/tty without a terminal).
  const bool pipe = error == ENXIO && target_.exists && S_ISFIFO(target_.status.st_mode);
  *why = pipe ? "no process reads the pipe " + shown_
              : "the file " + shown_ + " cannot be opened for writing: " +
                    (fd >= 0 ? std::string(std::strerror(error)) : reason);
  return false;
}

bool WholeFile::write(std::string_view text, std::string* why) {
  if (!file_) {
    *why = "the file " + shown_ + " is not open";
    return false;
  }
  if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() || std::ferror(file_)) {
    *why = held_target_ >= 0 ? held_text_failure(errno) : "writing " + shown_ + " failed: " + std::strerror(errno);
    return false;
  }
  return true;
}

bool WholeFile::flush(std::string* why) {
  if (!write({}, why)) return false;  // not open, or an earlier write failed
  if (!temp_.empty() || held_target_ >= 0 || std::fflush(file_) == 0) return true;
  *why = "writing " + shown_ + " failed: " + std::strerror(errno);
  return false;
}

bool WholeFile::finish(bool durable, std::string* why) {
  if (!file_) {
    *why = "the file " + shown_ + " is not open";
    return false;
  }
  if (held_target_ >= 0) {  // kept open for the commit
    if (std::fflush(file_) == 0 && !std::ferror(file_)) {
      finished_ = true;
      return true;
    }
    *why = held_text_failure(errno);
    abandon();
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
    *why = "writing " + shown_ + " failed: " + reason;
    abandon();
    return false;
  }
  finished_ = true;
  return true;
}

bool WholeFile::commit(std::string* why) {
  if (!finished_) {
    *why = "the file " + shown_ + " is not complete";
    abandon();
    return false;
  }
  finished_ = false;
  if (temp_.empty()) return held_target_ < 0 || pass_on_held(why);
  if (!rename_temporary(target_.folder.get(), temp_.c_str(), target_.name.c_str())) {
    const int error = errno;
    *why = "the file " + shown_ + " cannot be replaced: " + std::strerror(error);
    abandon();
    return false;
  }
  forget_temporary();
  return true;
}

std::string WholeFile::held_text_failure(int error) const {
  return "holding the text of " + shown_ + " in a temporary file until it is complete failed: " +
         std::strerror(error);
}

bool WholeFile::pass_on_held(std::string* why) {
  std::rewind(file_);
  char buffer[1 << 16];
  int error = 0;
  for (std::size_t got; !error && (got = std::fread(buffer, 1, sizeof buffer, file_)) > 0;)
    for (std::size_t done = 0; !error && done < got;) {
      const ssize_t n = ::write(held_target_, buffer + done, got - done);
      if (n >= 0) done += static_cast<std::size_t>(n);
      else if (errno != EINTR) error = errno;
    }
  if (!error && std::ferror(file_)) error = errno ? errno : EIO;
  abandon();
  if (error) *why = "writing " + shown_ + " failed: " + std::strerror(error);
  return !error;
}

void WholeFile::abandon() {
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (held_target_ >= 0) {
    ::close(held_target_);
    held_target_ = -1;
  }
  finished_ = false;
  if (!temp_.empty()) {
    ::unlinkat(target_.folder.get(), temp_.c_str(), 0);
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
