#include "app/held_outputs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <tuple>
#include <utility>

#include "platform/datasets/folder_lock.h"
#include "platform/listing/log.h"
#include "platform/listing/message_catalog.h"

namespace app {
namespace {

constexpr int kMsgCannotWriteWhy = 238;
constexpr int kMsgWaitsForOutput = 244;

struct Located {
  HeldOutput output;
  dev_t device;
  ino_t inode;
};

}  // namespace

std::vector<HeldOutput> hold_for_run(const std::vector<HeldOutput>& outputs, std::ostream& log) {
  std::vector<Located> files;
  for (const HeldOutput& o : outputs) {
    struct stat st;
    if (::fstat(o.stream->descriptor(), &st) == 0 && S_ISREG(st.st_mode)) files.push_back({o, st.st_dev, st.st_ino});
  }
  std::sort(files.begin(), files.end(), [](const Located& a, const Located& b) {
    return std::tie(a.device, a.inode) < std::tie(b.device, b.inode);
  });
  std::vector<HeldOutput> held;
  bool said = false;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const HeldOutput& o = files[i].output;
    held.push_back(o);
    // A second lock of one file, through another descriptor, would wait
    // for the first for ever.
    if (i > 0 && files[i].device == files[i - 1].device && files[i].inode == files[i - 1].inode) continue;
    // The run that holds both files may let one go before the other (the
    // log last, held for the line that names a stopping signal): the wait
    // for the second is no news.
    platform::ds::write_lock_waiting(o.stream->descriptor(), [&] {
      if (!std::exchange(said, true))
        platform::Log(log).note(platform::message_text(1, kMsgWaitsForOutput, o.what, o.file.c_str()));
    });
  }
  return held;
}

std::string truncate_held(const std::vector<HeldOutput>& held) {
  for (const HeldOutput& o : held)
    if (::ftruncate(o.stream->descriptor(), 0) != 0)
      return platform::message_text(1, kMsgCannotWriteWhy, o.what,
                                    ("the file " + o.file + " cannot be emptied: " + std::strerror(errno)).c_str());
  return {};
}

}  // namespace app
