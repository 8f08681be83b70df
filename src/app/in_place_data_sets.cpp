#include "app/in_place_data_sets.h"

#include <sys/stat.h>

#include "app/output_guard.h"
#include "platform/listing/message_catalog.h"

namespace app {
namespace {

constexpr int kMsgCannotWriteWhy = 238;

bool named_pipe(const std::filesystem::path& file) {
  struct stat st;
  return ::stat(file.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
}

}  // namespace

std::string InPlaceDataSets::check(const CommandLine& cmd, ProgramTexts& programs) {
  for (const DataSetFile& f : data_set_files(cmd, programs)) {
    if (!f.written || !platform::ds::written_in_place(f.path)) continue;
    auto trial = std::make_unique<platform::ds::WholeFile>();
    if (std::string why; !trial->open(f.path, &why))
      return platform::message_text(1, kMsgCannotWriteWhy, ("data set " + f.name).c_str(), why.c_str());
    if (named_pipe(f.path)) held_pipes_.push_back(std::move(trial));
  }
  return {};
}

}  // namespace app
