#include "app/held_outputs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <tuple>

#include "platform/datasets/folder_lock.h"
#include "platform/datasets/problem.h"
#include "platform/listing/log.h"
#include "platform/listing/message_catalog.h"

namespace app {
namespace {

constexpr int kMsgCannotWriteWhy = 238;
constexpr int kMsgWaitsForOutput = 244;
constexpr int kMsgPassesByReadLock = 245;

struct Located {
  HeldOutput output;
  struct stat status;
};

}  // namespace

Holds hold_for_run(const std::vector<HeldOutput>& outputs, std::ostream& log) {
  std::vector<Located> files;
  for (const HeldOutput& o : outputs) {
    struct stat st;
    if (::fstat(o.stream->descriptor(), &st) == 0 && S_ISREG(st.st_mode)) files.push_back({o, st});
  }
  std::sort(files.begin(), files.end(), [](const Located& a, const Located& b) {
    return std::tie(a.status.st_dev, a.status.st_ino) < std::tie(b.status.st_dev, b.status.st_ino);
  });
  Holds holds;
  holds.locks.reserve(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    const HeldOutput& o = files[i].output;
    const struct stat& st = files[i].status;
    holds.files.push_back(o);
    // A second lock of one file, through another descriptor, would wait
    // for the first for ever.
    if (i > 0 && st.st_dev == files[i - 1].status.st_dev && st.st_ino == files[i - 1].status.st_ino)
      continue;
    // Said for the first file waited for only: the run that holds both
    // may let one go before the other (the log last, held for the line
    // that names a stopping signal), and the wait for the second is no
    // news. A note that cannot be made (no memory left) is let go: the run
    // waits all the same.
    const auto say_waiting = [&]() noexcept {
      try {
        if (!holds.waited.empty()) return;
        holds.waited = platform::message_text(1, kMsgWaitsForOutput, o.what, o.file.c_str());
        platform::Log(log).note(holds.waited);
      } catch (...) {
      }
    };
    const bool own = holds.locks.emplace_back().take(st, true, say_waiting);
    if (platform::ds::write_lock_waiting(o.stream->descriptor(), say_waiting) !=
        platform::ds::Locked::PassedBy)
      continue;
    holds.passed_by.push_back(
        platform::message_text(1, kMsgPassesByReadLock, o.what, o.file.c_str()));
    if (!own)
      holds.passed_by.push_back(
          platform::message_text(1, platform::ds::msg::kRunsNotKeptApart,
                                 (std::string("the ") + o.what + " " + o.file).c_str(),
                                 platform::ds::lock_folder_problem().c_str()));
  }
  return holds;
}

std::string truncate_held(const std::vector<HeldOutput>& held) {
  for (const HeldOutput& o : held)
    if (::ftruncate(o.stream->descriptor(), 0) != 0)
      return platform::message_text(1, kMsgCannotWriteWhy, o.what,
                                    ("the file " + o.file + " cannot be emptied: " + std::strerror(errno)).c_str());
  return {};
}

}  // namespace app
